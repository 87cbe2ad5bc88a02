// Deciding on their readable text alone whether two page files differ, and reading that text out
// of one page file.
#pragma once
#include <stddef.h>

#include "acquisition/http_fetch.h"

// Compares the readable texts (see VisibleTextExtractor) of two page files, each read in the
// charset its own start declares (Shift_JIS when none). A byte 0x1A ends a file's text and a read
// error ends it too, as in CompareTextFiles. Both texts are produced side by side in blocks and
// compared as they come, stopping at the first difference; memory stays the same whatever the
// size of the pages. Returns 1 when the texts differ, 0 when they are the same. A new file that
// cannot be opened gives 0, an old file that cannot be opened gives 1.
int CompareVisibleText(const char* newPath, const char* oldPath);

// The same reading both files in blocks of blockSize bytes (at least 1); the program uses 64 KiB,
// tests use tiny blocks.
int CompareVisibleTextInBlocks(const char* newPath, const char* oldPath, size_t blockSize);

// Sends the readable text of a page file, read as above, to sink. False when the file cannot be
// opened, a buffer cannot be had or the sink refuses any text.
bool ExtractVisibleTextFile(const char* path, ByteSink& sink);
