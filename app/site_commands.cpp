// The site commands of the main window: registering a site through the registration dialog and
// deleting the selected one (its entry is marked deleted; its folder and snapshots stay on disk).
#include "app/add_site_dlg.h"
#include "app/monitor_dlg.h"
#include "registry/site_registration.h"

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

// A site that cannot be stored (no entry number left) still gets its row for this run.
void CMonitorDlg::OnAddSite()
{
    CAddSiteDlg dialog;
    if (dialog.DoModal() != IDOK)
        return;
    long code = PickNewSiteCode();
    InsertSiteRow(dialog.Name(), dialog.Url(), code);
    StoreNewSite(dialog.Name(), dialog.Url(), code);
}

void CMonitorDlg::InsertSiteRow(const char* name, const char* url, long code)
{
    ListView sites = SiteList();
    sites.InsertItem(0, name);
    m_workerRow.RowInserted(0);
    sites.SetItemText(0, 1, url);
    sites.SetItemData(0, code);
}
