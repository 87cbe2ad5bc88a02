// Line differences of two snapshot texts, as hunks ready for display (unified-diff style, three
// lines of context). Lines are split at LF; a CR right before an LF is dropped with it, so a page
// stored in text mode (CR LF) and the same page with plain LF have the same lines. A last line
// without an LF is a line too, but never equal to the same bytes ending in an LF.
//
// The edit search is Myers' O(ND) algorithm in linear space (middle snakes, divide and conquer):
// the script has the fewest deleted plus inserted lines. Work and memory are capped: the common
// head and tail lines are skipped while streaming the texts, only the rest and its context is
// held, and past any of the caps below the outcome is "too different" instead of a list. Before
// the search, lines with no equal on the other side are counted: when they alone pass the edit
// cap, the texts are too different at once.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "base/heap_block.h"
#include "viewer/text_sources.h"

enum {
    kDiffContextLines = 3,                // unchanged lines shown around each change
    kDiffHeldBytes = 8 * 1024 * 1024,     // text held of each side: what lies between the common
                                          // head and tail, with its context lines
    kDiffHeldLines = 256 * 1024,          // lines held of each side
    kDiffMaxEditLines = 10000,            // deleted plus inserted lines a listed result may hold
    kDiffMaxWork = 50 * 1000 * 1000,      // steps of the edit search (diagonals and line tests),
                                          // about a quarter of a second
    kDiffReadBlock = kSourceReadBlock,    // bytes read at a time from each side while trimming
};

enum DiffOutcome {
    kDiffListed,         // the hunks are the differences (none: the texts have the same lines)
    kDiffTooDifferent,   // past a cap: the differences are not listed
    kDiffFailed,         // a text could not be read, or memory ran out
};

struct TextLine {
    uint32_t offset;  // in the table's buffer
    uint32_t length;  // without the LF and a CR before it
    uint32_t hash;
};

// The lines of one text, or of the stretch of it that is compared, held in one owned buffer.
class LineTable {
public:
    LineTable();
    ~LineTable();
    LineTable(const LineTable&) = delete;
    LineTable& operator=(const LineTable&) = delete;

    // Hold a copy of the whole text: from memory, or the file read from its start. False (the
    // table empty) when the text is past kDiffHeldBytes or kDiffHeldLines, unreadable, or memory
    // runs out.
    bool LoadBytes(const char* data, size_t len);
    bool LoadFile(InputFile& file);
    // Holds len bytes read from source text position from, which begins line firstNumber (1-based);
    // the last line runs to the end of the text when reachesEnd. The first contextBefore lines,
    // and the lines from text position compareEnd on, are context: the diff leaves them alone.
    // Used by the trimming comparison. kDiffListed when loaded, kDiffTooDifferent past a cap,
    // kDiffFailed when unreadable or out of memory (the table empty for both).
    struct Range {
        uint64_t from;
        uint64_t len;
        uint64_t compareEnd;
        uint32_t firstNumber;
        uint32_t contextBefore;
        bool reachesEnd;
    };
    DiffOutcome LoadRange(TextSource& source, const Range& range);

    size_t Count() const { return m_count; }
    const char* Text(size_t i) const { return m_text + Line(i).offset; }
    size_t Length(size_t i) const { return Line(i).length; }
    uint32_t Hash(size_t i) const { return Line(i).hash; }
    // The 1-based number in the whole text of the table's line i.
    uint32_t Number(size_t i) const { return m_firstNumber + static_cast<uint32_t>(i); }
    // The lines the diff compares: [CompareBegin(), CompareEnd()).
    size_t CompareBegin() const { return m_compareBegin; }
    size_t CompareEnd() const { return m_compareEnd; }
    // Same bytes, and both or neither the last line of its text without an LF.
    bool SameLine(size_t i, const LineTable& other, size_t j) const;

private:
    const TextLine& Line(size_t i) const { return reinterpret_cast<const TextLine*>(m_lines)[i]; }
    bool Allocate(size_t len, size_t lines);
    void Split(size_t len, const Range& range);
    bool Unterminated(size_t i) const { return m_unterminatedLast && i + 1 == m_count; }
    void Clear();

    char* m_text;
    char* m_lines;  // TextLine[m_count]
    size_t m_count;
    size_t m_compareBegin;
    size_t m_compareEnd;
    uint32_t m_firstNumber;
    bool m_unterminatedLast;
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

// Diffs the compared lines of two loaded tables into result.
DiffOutcome DiffLineTables(const LineTable& older, const LineTable& newer, DiffResult* result);

// Compares two texts: the lines they share at the head and the tail are skipped as the texts
// stream by; the rest, with its context lines, is loaded into olderLines / newerLines and diffed.
// The tables stay valid for writing the result as long as result is used.
DiffOutcome DiffFiles(InputFile& older, InputFile& newer, LineTable* olderLines, LineTable* newerLines,
                      DiffResult* result);
DiffOutcome DiffFilePaths(const char* olderPath, const char* newerPath, LineTable* olderLines,
                          LineTable* newerLines, DiffResult* result);
DiffOutcome DiffTexts(const char* older, size_t olderLen, const char* newer, size_t newerLen,
                      LineTable* olderLines, LineTable* newerLines, DiffResult* result);
