// A site's settings, from its context menu or the Site menu: the dialog opens on the selected
// site, and what it confirms is written to the site's entry (only what changed) and taken into
// the list and the window's tables at once. The worker reads a site's URL, method and watch at the
// start of each turn, so an edit of the site it is on counts from that site's next turn; the row
// keeps its status text until the turn ends and then shows the edited name.
#include <string.h>

#include "app/check_marks.h"
#include "app/monitor_dlg.h"
#include "registry/data_paths.h"
#include "registry/registry_file.h"

namespace {

enum { kShownTextSize = 2048 };  // a name or URL shown: as much of the row's text as fits

}  // namespace

void CMonitorDlg::OnSiteSettings()
{
    ListView sites = SiteList();
    int row = sites.GetSelectedRow();
    if (row < 0)
        return;
    long code = static_cast<long>(sites.GetItemData(row));
    char name[kShownTextSize];
    char url[kShownTextSize];
    if (IsWorkerRow(row))
        CopyText(name, sizeof name, NameForWorkerRow(m_strWorkerName));  // the row shows a status
    else
        sites.GetItemText(row, 0, name, sizeof name);
    sites.GetItemText(row, 1, url, sizeof url);
    SiteEntry shown = {name, url, m_textOnlySites.Contains(code) ? CompareMethod::kTextOnly : CompareMethod::kWholePage,
                       SiteWatch()};
    m_watches.Get(code, &shown.watch);
    char lastCheck[512];
    DescribeLastCheck(m_checks.Get(code), lastCheck, sizeof lastCheck);
    m_nSettingsCode = code;
    m_nSettingsRow = row;
    CSiteSettingsDlg dialog(shown, lastCheck, *this);
    dialog.DoModal();
    m_nSettingsCode = -1;
    m_nSettingsRow = -1;
}

// The row the open dialog is for: where it was, unless the list has changed under it.
int CMonitorDlg::FindSettingsRow() const
{
    ListView sites = SiteList();
    if (m_nSettingsRow >= 0 && m_nSettingsRow < sites.GetItemCount() &&
        static_cast<long>(sites.GetItemData(m_nSettingsRow)) == m_nSettingsCode)
        return m_nSettingsRow;
    for (int row = 0, count = sites.GetItemCount(); row < count; ++row) {
        if (static_cast<long>(sites.GetItemData(row)) == m_nSettingsCode)
            return row;
    }
    return -1;
}

// The window's tables take the settings first, so that a lack of memory leaves the file as it was;
// a file that cannot be written gives them back their old settings.
UINT CMonitorDlg::ApplySiteSettings(const SiteEntry& shown, const SiteEntry& confirmed)
{
    if (!TakeSiteSettings(m_nSettingsCode, confirmed)) {
        TakeSiteSettings(m_nSettingsCode, shown);
        return IDS_SETTINGS_NO_MEMORY;
    }
    char registryPath[kPathBufferSize];
    EntryWrite written = MakeRegistryPath(registryPath)
                             ? RewriteSiteEntry(registryPath, m_nSettingsCode, shown, confirmed)
                             : EntryWrite::kFailed;
    if (written != EntryWrite::kWritten) {
        TakeSiteSettings(m_nSettingsCode, shown);
        return written == EntryWrite::kNoEntry ? IDS_SETTINGS_NO_ENTRY : IDS_SETTINGS_WRITE_FAILED;
    }
    int row = FindSettingsRow();
    if (row >= 0 && strcmp(shown.name, confirmed.name) != 0)
        RenameSiteRow(row, confirmed.name);
    if (row >= 0 && strcmp(shown.url, confirmed.url) != 0)
        SiteList().SetItemText(row, 1, confirmed.url);
    return 0;
}

// The site's comparison method and watch, as the worker gets them; false when memory ran out.
bool CMonitorDlg::TakeSiteSettings(long code, const SiteEntry& settings)
{
    bool taken = m_watches.Put(code, settings.watch);
    if (settings.method == CompareMethod::kTextOnly)
        taken = (m_textOnlySites.Add(code) || m_textOnlySites.Contains(code)) && taken;
    else
        m_textOnlySites.Remove(code);
    return taken;
}

// While the worker's turn shows a status in the row, the new name waits for the turn's end.
void CMonitorDlg::RenameSiteRow(int row, const char* name)
{
    if (IsWorkerRow(row)) {
        CopyText(m_strWorkerName, sizeof m_strWorkerName, name);
        m_bWorkerRenamed = true;
    } else {
        SiteList().SetItemText(row, 0, name);
    }
}
