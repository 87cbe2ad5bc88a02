#include "viewer/snapshot_files.h"

#include <windows.h>
#include <string.h>

#include "registry/site_folder.h"

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

struct NewestSearch {
    const char* before;
    char (&name)[kPathBufferSize];
};

void KeepNewest(void* context, const char* name)
{
    auto& search = *static_cast<NewestSearch*>(context);
    if (search.before && strcmp(name, search.before) >= 0)
        return;
    if (strcmp(name, search.name) > 0)
        CopyText(search.name, sizeof search.name, name);
}

}  // namespace

void ForEachSnapshot(const char* sitePrefix, void (*visit)(void* context, const char* name), void* context)
{
    char pattern[kPathBufferSize];
    if (!MakeSnapshotPattern(pattern, sitePrefix))
        return;
    WIN32_FIND_DATAA found;
    FindHandle search(pattern, &found);
    if (!search.Found())
        return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            visit(context, found.cFileName);
    } while (search.Next(&found));
}

bool FindNewestSnapshot(const char* sitePrefix, const char* before, char (&name)[kPathBufferSize])
{
    name[0] = '\0';
    NewestSearch search = {before, name};
    ForEachSnapshot(sitePrefix, KeepNewest, &search);
    return name[0] != '\0';
}
