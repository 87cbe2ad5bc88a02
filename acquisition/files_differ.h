// Deciding whether a fetched copy differs from the reference copy.
#pragma once
#include <stddef.h>

// Compares two files read as text: CR LF reads as LF, a byte 0x1A ends the text, and each line is
// taken in pieces of at most 1023 bytes (up to and including its LF). Pieces are compared in
// lockstep as zero-terminated code-page-932 texts. Returns 1 when a pair of pieces differs or one
// file has more pieces than the other, 0 when they all pair equal. A new file that cannot be
// opened gives 0, an old file that cannot be opened gives 1.
int CompareTextFiles(const char* newPath, const char* oldPath);

class InputFile;

enum { kBothOpened = -1 };
// Opens the two files of a comparison: kBothOpened, or else the comparison's result already: 0
// when the new file cannot be opened (no change to report), 1 when the old one cannot.
int OpenComparedFiles(const char* newPath, const char* oldPath, InputFile& fresh, InputFile& old);

// The same comparison reading both files in blocks of blockSize bytes (at least 2); the program
// uses 64 KiB, tests use tiny blocks to reach the block edges.
int CompareTextFilesInBlocks(const char* newPath, const char* oldPath, size_t blockSize);
