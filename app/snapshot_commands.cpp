// Snapshot viewing: a click on a site lists its snapshots, newest first; a click on a snapshot
// opens it in a browser. The context menu adds the comparison with the snapshot before and the
// site folder.
#include "app/monitor_dlg.h"
#include "base/decimal.h"
#include "registry/data_paths.h"
#include "viewer/browser_launcher.h"
#include "viewer/snapshot_list.h"

bool CMonitorDlg::OnClickSiteList(NMHDR*, LRESULT* result)
{
    *result = 0;
    ListView sites = SiteList();
    int row = sites.GetSelectedRow();
    if (row < 0)
        return true;
    long code = static_cast<long>(sites.GetItemData(row));
    CopyText(m_strSiteCode, sizeof m_strSiteCode, IntToString(code));
    m_nListedCode = code;
    ListSnapshots(SnapshotList(), m_strSiteCode);
    MarkListedSiteSeen(code);
    return true;
}

bool CMonitorDlg::OnClickSnapshotList(NMHDR*, LRESULT* result)
{
    *result = 0;
    OnOpenSnapshot();
    return true;
}

void CMonitorDlg::OnOpenSnapshot()
{
    int row = SnapshotList().GetSelectedRow();
    char name[kPathBufferSize + 1];
    char path[kPathBufferSize];
    if (row >= 0 && ReadSnapshotName(SnapshotList(), row, name) && MakeSnapshotFilePath(path, m_strSiteCode, name))
        OpenInBrowser(path);
}

// The snapshot before a row is the next row down; the oldest snapshot has none.
bool CMonitorDlg::HasSnapshotBefore(int row) const
{
    return row >= 0 && row + 1 < SnapshotList().GetItemCount();
}

void CMonitorDlg::OnShowDifferences()
{
    ListView snapshots = SnapshotList();
    int row = snapshots.GetSelectedRow();
    char newer[kPathBufferSize + 1];
    char older[kPathBufferSize + 1];
    if (!HasSnapshotBefore(row) || !ReadSnapshotName(snapshots, row, newer) ||
        !ReadSnapshotName(snapshots, row + 1, older))
        return;
    CompareMethod method =
        m_textOnlySites.Contains(m_nListedCode) ? CompareMethod::kTextOnly : CompareMethod::kWholePage;
    SiteWatch watch;
    m_watches.Get(m_nListedCode, &watch);
    char page[kPathBufferSize];
    if (WriteSnapshotComparison(m_strSiteCode, older, newer, method, watch.part, page))
        OpenInBrowser(page);
}

void CMonitorDlg::OnOpenSnapshotFolder()
{
    char folder[kPathBufferSize];
    if (m_strSiteCode[0] != '\0' && MakeSitePrefix(folder, m_strSiteCode))
        OpenFolder(folder);
}
