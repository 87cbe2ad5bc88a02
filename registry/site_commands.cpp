// The site commands of the main window: registering a site through the registration dialog and
// deleting the selected one (its entry is marked deleted; its folder and snapshots stay on disk).
#include "app/monitor_dlg.h"
#include "registry/add_site_dlg.h"
#include "registry/data_paths.h"
#include "registry/registry_file.h"

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
    char registryPath[kPathBufferSize];
    if (MakeRegistryPath(registryPath))
        MarkSiteDeleted(registryPath, static_cast<long>(sites.GetItemData(row)));
    sites.DeleteItem(row);
    m_workerRow.RowDeleted(row);
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
    m_workerRow.RowInserted(0);
    sites.SetItemText(0, 1, url);
    sites.SetItemData(0, code);
}
