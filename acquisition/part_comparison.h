// Page files compared on the part a site's watch counts (see PartFilter), and that part written
// out for the comparison page. Each file's text is read as the comparison method says (the
// stored page, or its readable text in the charset its own start declares) and taken in blocks,
// so memory stays the same whatever the size of the pages.
#pragma once
#include <stddef.h>

#include "registry/site_settings.h"

class ByteSink;

// Compares the lines that count in two page files, in order: 1 when they differ (a line, or
// their number), 0 when they are the same. A file whose text lacks the range's start text counts
// whole (its ignored lines still left out); *rangeMissing tells whether the new file did. Lines
// are compared by their length and a 128-bit digest of their bytes, so a line of any length takes
// no more memory than a short one. A new file that cannot be opened gives 0, an old file that
// cannot be opened gives 1 (*rangeMissing still telling about the new file).
int ComparePageParts(const char* newPath, const char* oldPath, CompareMethod method, const ComparedPart& part,
                     bool* rangeMissing);
// The same reading both files in blocks of blockSize bytes (at least 1); the program uses 64 KiB,
// tests use tiny blocks.
int ComparePagePartsInBlocks(const char* newPath, const char* oldPath, CompareMethod method,
                             const ComparedPart& part, bool* rangeMissing, size_t blockSize);

// Writes the lines of a page file that count to sink, each ended by LF. False when the file
// cannot be read, memory for a line runs out, or the sink refuses any text.
bool WritePagePart(const char* path, CompareMethod method, const ComparedPart& part, ByteSink& sink);
