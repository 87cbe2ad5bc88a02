// The site commands of the main window: registering a site through the registration dialog and
// deleting the selected one (its entry is marked deleted; its folder and snapshots stay on disk).
#include "app/add_site_dlg.h"
#include "app/monitor_dlg.h"
#include "base/text_join.h"
#include "registry/site_registration.h"
#include "ui/resource_text.h"

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
    DeleteSiteEntry(static_cast<long>(sites.GetItemData(row)));
    sites.DeleteItem(row);
    m_workerRow.RowDeleted(row);
}

// A site is listed once it is stored; one that cannot be stored is told and gets no row (it would
// be gone after the next start).
void CMonitorDlg::OnAddSite()
{
    CAddSiteDlg dialog;
    if (dialog.DoModal() != IDOK)
        return;
    NewSiteEntry site = {dialog.Name(), dialog.Url(), PickNewSiteCode(), CompareMethod::kWholePage, SiteWatch()};
    StoreResult stored = StoreNewSite(site);
    if (stored != StoreResult::kStored) {
        TellNotStored(stored);
        return;
    }
    InsertSiteRow(site.name, site.url, site.code);
}

// Why a registration could not be stored, in a box.
void CMonitorDlg::TellNotStored(StoreResult result)
{
    UINT reason = result == StoreResult::kPathTooLong    ? IDS_NOT_STORED_PATH
                  : result == StoreResult::kNoNumberLeft ? IDS_NOT_STORED_NUMBER
                                                         : IDS_NOT_STORED_WRITE;
    char first[128];
    char second[256];
    const char* texts[] = {LoadResourceText(IDS_NOT_STORED, first, sizeof first),
                           LoadResourceText(reason, second, sizeof second)};
    char text[400];
    FillText(text, "%s\n%s", texts);
    MessageBoxA(m_hWnd, text, "Sitewake", MB_OK | MB_ICONWARNING);
}

void CMonitorDlg::InsertSiteRow(const char* name, const char* url, long code)
{
    ListView sites = SiteList();
    sites.InsertItem(0, name);
    m_workerRow.RowInserted(0);
    sites.SetItemText(0, 1, url);
    sites.SetItemData(0, code);
}
