#include "viewer/snapshot_list.h"

#include <windows.h>
#include <string.h>

#include "registry/data_paths.h"
#include "registry/site_folder.h"
#include "viewer/comparison_page.h"
#include "viewer/snapshot_files.h"

namespace {

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

// The files of one comparison: the two snapshots, and in the site folder's Compare folder (never
// listed: it is not a snapshot) the page and the work files of a text-only comparison.
struct ComparisonPaths {
    char older[kPathBufferSize];
    char newer[kPathBufferSize];
    char folder[kPathBufferSize];
    char olderText[kPathBufferSize];
    char newerText[kPathBufferSize];

    bool Make(const char* site, const char* olderName, const char* newerName, char (&page)[kPathBufferSize])
    {
        return MakeSnapshotPath(older, site, olderName) && MakeSnapshotPath(newer, site, newerName) &&
               MakeSiteFilePath(folder, site, SiteFile::kCompareFolder) &&
               MakeComparePagePath(page, site, newerName) &&
               MakeSiteFilePath(olderText, site, SiteFile::kOlderText) &&
               MakeSiteFilePath(newerText, site, SiteFile::kNewerText);
    }
};

}  // namespace

void ListSnapshots(const ListView& list, const char* codeText)
{
    list.DeleteAllItems();
    char prefix[kPathBufferSize];
    if (MakeSitePrefix(prefix, codeText))
        ForEachSnapshot(prefix, InsertSnapshotName, const_cast<ListView*>(&list));
}

bool ReadSnapshotName(const ListView& list, int row, char (&name)[kPathBufferSize + 1])
{
    list.GetItemText(row, 0, name, sizeof name);
    return name[0] != '\0' && strlen(name) < kSnapshotNameSize;
}

bool MakeSnapshotFilePath(char (&path)[kPathBufferSize], const char* codeText, const char* name)
{
    char prefix[kPathBufferSize];
    return MakeSitePrefix(prefix, codeText) && MakeSnapshotPath(path, prefix, name);
}

bool WriteSnapshotComparison(const char* codeText, const char* olderName, const char* newerName,
                             CompareMethod method, const ComparedPart& part, char (&page)[kPathBufferSize])
{
    char site[kPathBufferSize];
    ComparisonPaths paths;
    if (!MakeSitePrefix(site, codeText) || !paths.Make(site, olderName, newerName, page))
        return false;
    CreateDirectoryA(paths.folder, nullptr);
    bool textOnly = method == CompareMethod::kTextOnly || !part.WholePage();
    ComparisonFiles files = {paths.older, paths.newer, page, textOnly ? paths.olderText : nullptr,
                             textOnly ? paths.newerText : nullptr, part.WholePage() ? nullptr : &part, method};
    bool written = WriteComparisonPage(files);
    if (textOnly) {
        DeleteFileA(paths.olderText);
        DeleteFileA(paths.newerText);
    }
    return written;
}
