// Line differences of two snapshot texts, as hunks ready for display (unified-diff style, three
// lines of context). Lines are as line_table.h splits them.
//
// The comparison first streams past the lines the texts share at their head and tail. Of what
// lies between (with its context) each side is held as line entries, 12 bytes a line, up to
// kDiffHeldLines lines. Meanwhile a lower bound of the edits is kept: a script of at most
// kDiffMaxEditLines edits can pair a line only with one at most that many lines away on the
// other side, so a line with no equal within that window is an edit for certain; past
// kDiffMaxEditLines of them the texts are too different, known after reading a few window
// lengths of each side however large the texts are.
//
// The edit search is Myers' O(ND) algorithm in linear space (middle snakes, divide and conquer)
// over the line hashes: the script has the fewest deleted plus inserted lines, and its work is
// bounded by the edits, not by how far apart they lie. Past kDiffMaxWork steps or
// kDiffMaxEditLines edits the outcome is "too different". The bytes of every pair of lines the
// script keeps are then compared (a hash collision, which only a page made for it would hold,
// ends in "too different" rather than a wrong list), and finally the text of the listed lines
// is read back from the two texts, at most kDiffHeldBytes of each.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "base/heap_block.h"
#include "viewer/line_table.h"

enum {
    kDiffContextLines = 3,                // unchanged lines shown around each change
    kDiffMaxEditLines = 10000,            // deleted plus inserted lines a listed result may hold
    kDiffMaxWork = 50 * 1000 * 1000,      // steps of the edit search (diagonals and line tests),
                                          // about a quarter of a second
};

// One change: olderCount lines of the older table at olderIndex give way to newerCount lines of
// the newer table at newerIndex (table indexes, 0-based).
struct LineEdit {
    uint32_t olderIndex;
    uint32_t olderCount;
    uint32_t newerIndex;
    uint32_t newerCount;
};

// Changes with their context. Starts are 1-based line numbers of the whole texts as unified diff
// writes them: for an empty side (count 0) the number of the line before the hunk. The hunk's
// lines begin at table indexes olderIndex / newerIndex and hold the edits
// [firstEdit, firstEdit + editCount).
struct DiffHunk {
    uint32_t olderStart;
    uint32_t olderCount;
    uint32_t newerStart;
    uint32_t newerCount;
    uint32_t olderIndex;
    uint32_t newerIndex;
    uint32_t firstEdit;
    uint32_t editCount;
};

class DiffResult {
public:
    // The search may overshoot kDiffMaxEditLines by two before it gives up.
    enum { kEditCapacity = kDiffMaxEditLines + 2 };
    DiffResult();
    DiffResult(const DiffResult&) = delete;
    DiffResult& operator=(const DiffResult&) = delete;

    DiffOutcome Outcome() const { return m_outcome; }
    size_t EditCount() const { return m_editCount; }
    const LineEdit& Edit(size_t i) const { return Edits()[i]; }
    size_t HunkCount() const { return m_hunkCount; }
    const DiffHunk& Hunk(size_t i) const { return Hunks()[i]; }
    uint32_t DeletedLines() const { return m_deleted; }
    uint32_t InsertedLines() const { return m_inserted; }
    // Byte sizes of the two texts, as the comparison found them.
    uint64_t OlderSize() const { return m_olderSize; }
    uint64_t NewerSize() const { return m_newerSize; }

    // Used by the comparison while it builds the result. Reset empties the lists and keeps the
    // sizes; it gives kDiffFailed when the lists' memory could not be had.
    void Reset(DiffOutcome outcome);
    void SetSizes(uint64_t olderSize, uint64_t newerSize);
    // Records olderCount deleted lines at older index x and newerCount inserted lines at newer
    // index y, joined to the edit before when it follows on directly.
    void AddEdit(uint32_t x, uint32_t y, uint32_t olderCount, uint32_t newerCount);
    void GroupHunks(const LineTable& older, const LineTable& newer);

private:
    LineEdit* Edits() const { return reinterpret_cast<LineEdit*>(m_edits.Data()); }
    DiffHunk* Hunks() const { return reinterpret_cast<DiffHunk*>(m_hunks.Data()); }
    void AddHunk(const LineTable& older, const LineTable& newer, size_t first, size_t last);

    HeapBlock m_edits;  // LineEdit[kEditCapacity]
    HeapBlock m_hunks;  // DiffHunk[kEditCapacity]
    DiffOutcome m_outcome;
    size_t m_editCount;
    size_t m_hunkCount;
    uint32_t m_deleted;
    uint32_t m_inserted;
    uint64_t m_olderSize;
    uint64_t m_newerSize;
};

// Diffs two tables loaded whole (LoadBytes, LoadFile).
DiffOutcome DiffLineTables(const LineTable& older, const LineTable& newer, DiffResult* result);

// Compares two texts: the lines they share at the head and the tail are skipped as the texts
// stream by; the rest, with its context lines, goes into olderLines / newerLines and is diffed,
// and the tables then hold the text of the result's hunks. They stay valid for writing the
// result as long as result is used.
DiffOutcome DiffFiles(InputFile& older, InputFile& newer, LineTable* olderLines, LineTable* newerLines,
                      DiffResult* result);
DiffOutcome DiffFilePaths(const char* olderPath, const char* newerPath, LineTable* olderLines,
                          LineTable* newerLines, DiffResult* result);
DiffOutcome DiffTexts(const char* older, size_t olderLen, const char* newer, size_t newerLen,
                      LineTable* olderLines, LineTable* newerLines, DiffResult* result);
