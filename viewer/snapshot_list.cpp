// Snapshot viewing: a click on a site lists its snapshots, newest first; a click on a snapshot
// opens it in a browser.
#include <string.h>

#include "app/monitor_dlg.h"
#include "registry/data_paths.h"
#include "base/decimal.h"
#include "base/path_join.h"
#include "registry/profile.h"
#include "viewer/browser_launcher.h"

namespace {

// A directory search, closed when it goes.
class FindHandle {
public:
    FindHandle(const char* pattern, WIN32_FIND_DATAA* found) : m_h(FindFirstFileA(pattern, found)) {}
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    ~FindHandle()
    {
        if (m_h != INVALID_HANDLE_VALUE)
            FindClose(m_h);
    }
    bool Found() const { return m_h != INVALID_HANDLE_VALUE; }
    bool Next(WIN32_FIND_DATAA* found) const { return FindNextFileA(m_h, found) != FALSE; }

private:
    HANDLE m_h;
};

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

void InsertSnapshotName(const ListView& list, const char* name)
{
    list.InsertItem(FindInsertRow(list, name), name);
}

// program directory\data\<code>\*.htm; false, leaving the pattern empty, when it would not fit.
bool MakeSnapshotPattern(char (&pattern)[kPathBufferSize], const char* codeText)
{
    char prefix[kPathBufferSize];
    if (!MakeSitePrefix(prefix, codeText))
        return false;
    const char* pieces[] = {prefix, "\\*.htm"};
    return JoinPath(pattern, pieces);
}

void ListSnapshots(const ListView& list, const char* codeText)
{
    list.DeleteAllItems();
    char pattern[kPathBufferSize];
    if (!MakeSnapshotPattern(pattern, codeText))
        return;
    WIN32_FIND_DATAA found;
    FindHandle search(pattern, &found);
    if (!search.Found())
        return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            InsertSnapshotName(list, found.cFileName);
    } while (search.Next(&found));
}

// program directory\data\<code>\<name>; false, leaving the path empty, when it would not fit.
bool MakeSnapshotPath(char (&path)[kPathBufferSize], const char* codeText, const char* name)
{
    char dir[kPathBufferSize];
    GetExeDir(dir, sizeof dir);
    const char* pieces[] = {dir, "\\data\\", codeText, "\\", name};
    return JoinPath(path, pieces);
}

}  // namespace

bool CMonitorDlg::OnClickSiteList(NMHDR*, LRESULT* result)
{
    *result = 0;
    ListView sites = SiteList();
    int row = sites.GetSelectedRow();
    if (row < 0)
        return true;
    CopyText(m_strSiteCode, sizeof m_strSiteCode, IntToString(static_cast<long>(sites.GetItemData(row))));
    ListSnapshots(SnapshotList(), m_strSiteCode);
    return true;
}

bool CMonitorDlg::OnClickSnapshotList(NMHDR*, LRESULT* result)
{
    *result = 0;
    ListView snapshots = SnapshotList();
    int row = snapshots.GetSelectedRow();
    if (row < 0)
        return true;
    // A name is taken whole or not at all: read with room to spare, a name that would not fit
    // its 200-byte buffer is never opened cut short (it could name another file).
    const size_t kNameSize = 200;
    char name[kPathBufferSize + 1];
    snapshots.GetItemText(row, 0, name, sizeof name);
    char path[kPathBufferSize];
    if (strlen(name) < kNameSize && MakeSnapshotPath(path, m_strSiteCode, name))
        OpenInBrowser(path);
    return true;
}
