// Snapshot stamps: the local date and time as text, e.g. 2001年09月09日09時09分09秒 in code page 932.
#pragma once
#include <stddef.h>
#include <time.h>

enum { kSnapshotStampSize = 40 };  // room for any year the stamp can hold, and the terminating zero

// Writes the stamp of the current local time into dst (size bytes) and returns dst.
char* MakeSnapshotStamp(char* dst, size_t size);
// Writes the stamp of t: the full year, then month, day, hour, minute and second as two digits,
// each followed by its unit character. dst is left empty when the stamp would not fit.
char* FormatSnapshotStamp(char* dst, size_t size, const struct tm& t);
