#include "viewer/seen_mark.h"

#include <string.h>

#include "acquisition/file_io.h"
#include "registry/site_folder.h"

namespace {

bool MakeMarkPaths(const char* sitePrefix, char (&mark)[kPathBufferSize], char (&temp)[kPathBufferSize])
{
    return MakeSiteFilePath(mark, sitePrefix, SiteFile::kSeenMark) &&
           MakeSiteFilePath(temp, sitePrefix, SiteFile::kSeenTemp);
}

}  // namespace

bool ReadSeenMark(const char* sitePrefix, char* name, size_t size)
{
    if (size == 0)
        return false;
    name[0] = '\0';
    char mark[kPathBufferSize];
    char temp[kPathBufferSize];
    InputFile file;
    if (!MakeMarkPaths(sitePrefix, mark, temp) || !file.Open(mark))
        return false;
    long got = file.ReadFull(name, size);
    // A mark that fills the buffer is longer than any name it can hold: none is taken.
    if (got <= 0 || static_cast<size_t>(got) >= size || memchr(name, '\0', static_cast<size_t>(got))) {
        name[0] = '\0';
        return false;
    }
    name[got] = '\0';
    return true;
}

bool WriteSeenMark(const char* sitePrefix, const char* name)
{
    char mark[kPathBufferSize];
    char temp[kPathBufferSize];
    if (!MakeMarkPaths(sitePrefix, mark, temp))
        return false;
    return WriteBytesAtomically(mark, temp, name, strlen(name));
}

bool IsNewerSnapshot(const char* name, const char* seen)
{
    return strcmp(name, seen) > 0;
}
