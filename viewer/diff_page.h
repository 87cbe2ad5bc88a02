// The comparison page: an HTML document listing the differences between a snapshot and the one
// before it, written in bounded pieces to a file or a byte sink. The page's own words are ASCII,
// so they read right whatever charset it declares; the snapshots' lines are copied byte for
// byte, with & < > " ' written as references (code page 932, EUC-JP and UTF-8 never use those
// bytes inside a double-byte character) and control bytes shown as their control pictures. In a
// page declared ISO-2022-JP the lines keep their escape sequences and the bytes of their
// two-byte runs as they are, and each line ends back in ASCII.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "viewer/line_diff.h"

class ByteSink;

enum {
    kSnapshotLabelSize = 40,     // room for any date label, and the terminating zero
    kDiffPageBufferSize = 16 * 1024,  // bytes gathered before they go to the sink
};

// What the page says about the two snapshots besides their lines.
struct DiffPageFacts {
    const char* olderLabel;  // date labels, e.g. "2026-12-09 06:30:05" (escaped as text)
    const char* newerLabel;
    uint64_t olderSize;      // file sizes in bytes
    uint64_t newerSize;
    const char* charset;     // the name to declare: IsCharsetName (page_charset.h) holds
};

// Writes the whole page: the hunks of a listed result, "the same text" for a listed result
// without hunks, or a note for a result too different to list or that failed. False when the
// sink refused bytes, or when the charset name is empty, too long or holds any other character
// (then nothing is written).
bool WriteDiffPage(ByteSink& sink, const LineTable& older, const LineTable& newer, const DiffResult& result,
                   const DiffPageFacts& facts);
// The same into a file at path, created or emptied. False when it cannot be written whole.
bool WriteDiffPageFile(const char* path, const LineTable& older, const LineTable& newer, const DiffResult& result,
                       const DiffPageFacts& facts);

// The date label of a snapshot file name (a path's folders are skipped): the stamp
// 2026年12月09日06時30分05秒.htm in code-page-932 bytes becomes "2026-12-09 06:30:05", and true
// is returned. Any other name is copied in an ASCII-safe form (printable ASCII kept, every other
// character as one "?") cut to fit, and false is returned. dst holds size bytes (at least
// kSnapshotLabelSize for any stamp); a stamp that does not fit leaves dst empty.
bool MakeSnapshotLabel(const char* name, char* dst, size_t size);
