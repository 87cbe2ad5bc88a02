// The snapshot list of one site, and the files behind its rows: the snapshots themselves and the
// comparison page of a snapshot with the one before it.
#pragma once
#include "base/path_join.h"
#include "registry/site_settings.h"
#include "ui/list_view.h"

enum { kSnapshotNameSize = 200 };  // a snapshot's name is taken from its row only when shorter

// Fills the list with the names of the site's snapshots, newest first (descending byte order,
// whatever order the directory gives them in). The site folder is named by its code text.
void ListSnapshots(const ListView& list, const char* codeText);

// The snapshot name of a row, whole; false when the row is empty or its name is too long to be
// taken (a name cut short could name another file).
bool ReadSnapshotName(const ListView& list, int row, char (&name)[kPathBufferSize + 1]);

// The full path of a snapshot of the site; false when it would not fit.
bool MakeSnapshotFilePath(char (&path)[kPathBufferSize], const char* codeText, const char* name);

// Writes the comparison page of the snapshot newerName with olderName, the one before it, in the
// site folder's Compare folder, and gives its path in page: the differences of what the site's
// comparison looks at (its readable text for a text-only site, the part of it that counts where
// its watch sets a range or ignored texts). False when a path would not fit, a snapshot cannot be
// read or the page cannot be written.
bool WriteSnapshotComparison(const char* codeText, const char* olderName, const char* newerName,
                             CompareMethod method, const ComparedPart& part, char (&page)[kPathBufferSize]);
