// Snapshot viewing: a click on a site lists its snapshots, newest first; a click on a snapshot
// opens it in a browser. The context menu adds the comparison with the snapshot before.
#include <string.h>

#include "app/monitor_dlg.h"
#include "base/decimal.h"
#include "base/path_join.h"
#include "registry/data_paths.h"
#include "viewer/browser_launcher.h"
#include "viewer/comparison_page.h"
#include "viewer/snapshot_files.h"

namespace {

// A name is taken whole or not at all: a name that would not fit its 200-byte buffer is never
// opened cut short (it could name another file).
const size_t kNameSize = 200;

// The rows are kept in descending byte order of their names. Inserting every name at its place
// gives the same list as inserting the names, taken in ascending order, each at row 0: the
// newest stamp first, whatever order the directory gave them in.
int FindInsertRow(const ListView& list, const char* name)
{
    int low = 0;
    int high = list.GetItemCount();
    char text[MAX_PATH];
    while (low < high) {
        int middle = low + (high - low) / 2;
        list.GetItemText(middle, 0, text, sizeof text);
        if (strcmp(text, name) > 0)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

void InsertSnapshotName(void* context, const char* name)
{
    const ListView& list = *static_cast<const ListView*>(context);
    list.InsertItem(FindInsertRow(list, name), name);
}

void ListSnapshots(const ListView& list, const char* codeText)
{
    list.DeleteAllItems();
    char prefix[kPathBufferSize];
    if (MakeSitePrefix(prefix, codeText))
        ForEachSnapshot(prefix, InsertSnapshotName, const_cast<ListView*>(&list));
}

// program directory\data\<code><a><b>; false, leaving the path empty, when it would not fit.
bool MakeSiteFilePath(char (&path)[kPathBufferSize], const char* codeText, const char* a, const char* b = "")
{
    char prefix[kPathBufferSize];
    const char* pieces[] = {prefix, a, b};
    return MakeSitePrefix(prefix, codeText) && JoinPath(path, pieces);
}

// The files of one comparison: the two snapshots, and in the site folder's "Compare" folder
// (never listed: it is not a snapshot) the page and the work files of a text-only comparison.
struct ComparisonPaths {
    char older[kPathBufferSize];
    char newer[kPathBufferSize];
    char folder[kPathBufferSize];
    char page[kPathBufferSize];
    char olderText[kPathBufferSize];
    char newerText[kPathBufferSize];

    bool Make(const char* codeText, const char* olderName, const char* newerName)
    {
        return MakeSiteFilePath(older, codeText, "\\", olderName) &&
               MakeSiteFilePath(newer, codeText, "\\", newerName) &&
               MakeSiteFilePath(folder, codeText, "\\Compare") &&
               MakeSiteFilePath(page, codeText, "\\Compare\\", newerName) &&
               MakeSiteFilePath(olderText, codeText, "\\Compare\\older.txt") &&
               MakeSiteFilePath(newerText, codeText, "\\Compare\\newer.txt");
    }
};

bool WriteComparison(const ComparisonPaths& paths, bool textOnly)
{
    CreateDirectoryA(paths.folder, nullptr);
    ComparisonFiles files = {paths.older, paths.newer, paths.page, textOnly ? paths.olderText : nullptr,
                             textOnly ? paths.newerText : nullptr};
    bool written = WriteComparisonPage(files);
    if (textOnly) {
        DeleteFileA(paths.olderText);
        DeleteFileA(paths.newerText);
    }
    return written;
}

// The snapshot name of a row, whole; false when it is too long to be taken.
bool ReadSnapshotName(const ListView& list, int row, char (&name)[kPathBufferSize + 1])
{
    list.GetItemText(row, 0, name, sizeof name);
    return name[0] != '\0' && strlen(name) < kNameSize;
}

}  // namespace

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
    if (row >= 0 && ReadSnapshotName(SnapshotList(), row, name) && MakeSiteFilePath(path, m_strSiteCode, "\\", name))
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
    ComparisonPaths paths;
    if (!HasSnapshotBefore(row) || !ReadSnapshotName(snapshots, row, newer) ||
        !ReadSnapshotName(snapshots, row + 1, older) || !paths.Make(m_strSiteCode, older, newer))
        return;
    bool textOnly = m_textOnlySites.Contains(m_nListedCode);
    if (WriteComparison(paths, textOnly))
        OpenInBrowser(paths.page);
}

void CMonitorDlg::OnOpenSnapshotFolder()
{
    char folder[kPathBufferSize];
    if (m_strSiteCode[0] != '\0' && MakeSitePrefix(folder, m_strSiteCode))
        OpenFolder(folder);
}
