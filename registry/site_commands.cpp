// The site commands of the main window: registering a site through the registration dialog and
// deleting the selected one (its entry is marked deleted; its folder and snapshots stay on disk).
#include "app/monitor_dlg.h"
#include "registry/add_site_dlg.h"
#include "registry/data_paths.h"
#include "base/decimal.h"
#include "registry/profile.h"
#include "registry/site_registry.h"

namespace {

// Marks the first entry that holds the code and is not marked deleted yet.
void MarkEntryDeleted(long code)
{
    char registryPath[kPathBufferSize];
    if (!MakeRegistryPath(registryPath))
        return;
    unsigned long length = 0;
    char* section = ProfileReadSection(registryPath, "url", &length);
    SiteRegistry registry;
    unsigned long entry = (section && registry.Parse(section, length)) ? registry.FindLiveEntry(code) : 0;
    FreeSection(section);
    if (entry == 0)
        return;
    char key[32];
    DecimalText number = IntToString(static_cast<long>(entry));
    const char* delKey[] = {"del", number};
    JoinPath(key, delKey);
    ProfileWriteInt(registryPath, "url", key, 1);
}

}  // namespace

void CMonitorDlg::OnDeleteSite()
{
    ListView sites = SiteList();
    int row = sites.GetSelectedRow();
    if (row < 0)
        return;
    if (MessageBoxA(m_hWnd, "選択されているデータを削除します。よろしいですか？", "データの削除",
                    MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return;
    // The question box let the worker go on: the selection is read again.
    row = sites.GetSelectedRow();
    if (row < 0)
        return;
    MarkEntryDeleted(static_cast<long>(sites.GetItemData(row)));
    sites.DeleteItem(row);
    m_worker.RowDeleted(row);
}

void CMonitorDlg::OnAddSite()
{
    CAddSiteDlg dialog(*this);
    dialog.DoModal();
}

void CMonitorDlg::InsertSiteRow(const char* name, const char* url, long code)
{
    ListView sites = SiteList();
    sites.InsertItem(0, name);
    m_worker.RowInserted(0);
    sites.SetItemText(0, 1, url);
    sites.SetItemData(0, code);
}
