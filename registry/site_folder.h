// The layout of a site folder, data\<code>: the one place that names the files and folders in
// it and the snapshots' names, the stamps of the local time a fetch began (for instance
// 2001年09月09日09時09分09秒.htm in code-page-932 bytes), made and read back here alone.
//
// Every path is built on the site folder's own path. A path that would not fit in 259 bytes is
// refused: the function returns false and leaves the buffer empty.
#pragma once
#include <stddef.h>
#include <time.h>

#include "base/path_join.h"

// The files and folders of a site folder other than its snapshots.
enum class SiteFile {
    kFetchedCopy,    // NEW.TEMP: the page as fetched last
    kReferenceCopy,  // Old.TEMP: the copy the next fetch is compared with
    kCopyTemp,       // Copy.tmp: every copy into the folder is written here first, then renamed;
                     // never longer a name than the reference copy's
    kSeenMark,       // Seen.TEMP: the name of the newest snapshot the user has seen
    kSeenTemp,       // Seen.tmp: the seen mark's temporary
    kCompareFolder,  // Compare: the comparison pages, never listed as snapshots
    kOlderText,      // Compare\older.txt, Compare\newer.txt: the texts a text-only comparison
    kNewerText,      //   page is made from, removed once it is written
    kCheckRecord,    // Check.TEMP: the record of the site's last check
    kCheckTemp,      // Check.tmp: the check record's temporary
};

// <site folder>\<file>
bool MakeSiteFilePath(char (&path)[kPathBufferSize], const char* siteFolder, SiteFile file);
// <data folder>\<code text>: the site folder itself.
bool MakeSiteFolderPath(char (&path)[kPathBufferSize], const char* dataFolder, const char* codeText);

// Snapshots: every "*.htm" file directly in the site folder.
// <site folder>\<snapshot name>
bool MakeSnapshotPath(char (&path)[kPathBufferSize], const char* siteFolder, const char* snapshotName);
// <site folder>\*.htm, the directory search that finds them.
bool MakeSnapshotPattern(char (&path)[kPathBufferSize], const char* siteFolder);
// <site folder>\Compare\<snapshot name>: the comparison page of a snapshot; where that would not
// fit, <site folder>\Compare\diff.htm, which fits wherever a snapshot's path does.
bool MakeComparePagePath(char (&path)[kPathBufferSize], const char* siteFolder, const char* snapshotName);

enum { kSnapshotStampSize = 40 };  // room for any year the stamp can hold, and the terminating zero

// Writes the stamp of the current local time into dst (size bytes) and returns dst.
char* MakeSnapshotStamp(char* dst, size_t size);
// Writes the stamp of t: the full year, then month, day, hour, minute and second as two digits,
// each followed by its unit character (年 月 日 時 分 秒). dst is left empty when the stamp would
// not fit.
char* FormatSnapshotStamp(char* dst, size_t size, const struct tm& t);
// The snapshot name of a stamp: the stamp and ".htm".
bool MakeSnapshotName(char (&name)[kPathBufferSize], const char* stamp);

// The fields of a snapshot name's stamp, as its digits spell them.
struct SnapshotTime {
    char year[11];  // 1 to 10 digits
    char month[3];
    char day[3];
    char hour[3];
    char minute[3];
    char second[3];
};
// Reads a snapshot name (a stamp and ".htm" in any letter case) back into its fields. False for
// any other name.
bool ParseSnapshotName(const char* name, SnapshotTime* time);
