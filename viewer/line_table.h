// The lines of a text as the line diff holds them. Every line has a 12-byte entry: where it starts
// in the text and a 64-bit hash of its bytes (with its length, and whether it is the text's last
// line without an LF). The bytes themselves are held only where they are needed: all of a text
// loaded whole, and of a compared stretch only the lines the result lists, read back from the
// text once the diff has found them. So a long stretch of mostly equal lines costs its entries,
// not its text.
//
// Lines are split at LF; a CR right before an LF is dropped with it, so a page stored in text mode
// (CR LF) and the same page with plain LF have the same lines. A last line without an LF is a
// line too, but never equal to the same bytes ending in an LF.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "base/heap_block.h"
#include "viewer/text_sources.h"

enum {
    kDiffHeldLines = 1024 * 1024,     // line entries held of each side: the stretch between the
                                      // common head and tail, with its context (12 MB at most)
    kDiffHeldBytes = 8 * 1024 * 1024,  // text held of each side: the lines listed, or a text
                                       // loaded whole
    kDiffReadBlock = kSourceReadBlock,  // bytes read at a time from each side
    kDiffMaxStretchBytes = 0x7FFFFFFF,  // the longest stretch of a text a table takes
};

enum DiffOutcome {
    kDiffListed,         // the hunks are the differences (none: the texts have the same lines)
    kDiffTooDifferent,   // past a cap: the differences are not listed
    kDiffFailed,         // a text could not be read, or memory ran out
};

// Lines [first, first + count) of a table.
struct LineSpan {
    uint32_t first;
    uint32_t count;
};

class LineTable {
public:
    LineTable();
    LineTable(const LineTable&) = delete;
    LineTable& operator=(const LineTable&) = delete;

    // Holds the whole text with its lines: from memory, or the file read from its start. False
    // (the table empty) when the text is past kDiffHeldBytes or kDiffHeldLines, unreadable, or
    // memory runs out.
    bool LoadBytes(const char* data, size_t len);
    bool LoadFile(InputFile& file);

    // A stretch of a text: len bytes from text position from, which begins line firstNumber
    // (1-based); its last line runs to the end of the text when reachesEnd. The first
    // contextBefore lines, and the lines from text position compareEnd on, are context: the
    // diff leaves them alone.
    struct Range {
        uint64_t from;
        uint64_t len;
        uint64_t compareEnd;
        uint32_t firstNumber;
        uint32_t contextBefore;
        bool reachesEnd;
    };
    // Empties the table for the lines of range in source, which a LineScanner then adds. The
    // source stays in use (for the diff's byte checks and HoldText) until DropSource.
    void Begin(TextSource& source, const Range& range);
    // Holds the text of the given spans (in order, apart) read back from the source: kDiffListed,
    // kDiffTooDifferent when they pass kDiffHeldBytes, kDiffFailed when unreadable or out of
    // memory.
    DiffOutcome HoldText(const LineSpan* spans, size_t count);
    void DropSource() { m_source = nullptr; }

    size_t Count() const { return m_count; }
    // The text of line i: only for a line whose text is held.
    const char* Text(size_t i) const;
    // Bytes of line i without its LF and a CR before it.
    size_t Length(size_t i) const;
    uint64_t Hash(size_t i) const
    {
        const Entry& e = Line(i);
        return static_cast<uint64_t>(e.hashHigh) << 32 | e.hashLow;
    }
    // The 1-based number in the whole text of the table's line i.
    uint32_t Number(size_t i) const { return m_firstNumber + static_cast<uint32_t>(i); }
    // The lines the diff compares: [CompareBegin(), CompareEnd()).
    size_t CompareBegin() const { return m_compareBegin; }
    size_t CompareEnd() const { return m_compareEnd; }
    // The same hash: the same bytes, and both or neither the last line of its text without an
    // LF, but for a hash collision (which the diff rules out by comparing the bytes of the lines
    // it pairs).
    bool SameLine(size_t i, const LineTable& other, size_t j) const { return Hash(i) == other.Hash(j); }
    // Whether line i is the last of its text and has no LF.
    bool Unterminated(size_t i) const { return m_unterminatedLast && i + 1 == m_count; }
    // Where line i starts in the source, and the source (null once dropped).
    uint64_t SourceOffset(size_t i) const { return m_from + Start(i); }
    TextSource* Source() const { return m_source; }
    // Memory the table holds now: line entries, text and the index of the held text.
    size_t HeldBytes() const { return m_lines.Size() + m_text.Size() + m_pieces.Size(); }

private:
    friend class LineScanner;
    struct Entry {
        uint32_t start;  // from the range's start; kCrBit set when a CR comes before the LF
        uint32_t hashLow;
        uint32_t hashHigh;
    };
    // A run of lines whose text is held: line first starts at text[offset].
    struct Piece {
        uint32_t first;
        uint32_t offset;
    };
    enum : uint32_t { kCrBit = 0x80000000u };

    const Entry& Line(size_t i) const { return reinterpret_cast<const Entry*>(m_lines.Data())[i]; }
    uint32_t Start(size_t i) const { return Line(i).start & ~kCrBit; }
    // Where the next line starts (for the last line: the range's end).
    uint32_t NextStart(size_t i) const { return i + 1 < m_count ? Start(i + 1) : m_end; }
    const Piece* Pieces() const { return reinterpret_cast<const Piece*>(m_pieces.Data()); }
    DiffOutcome Append(uint32_t start, uint32_t end, bool cr, bool open, bool unterminated, uint64_t hash);
    void Complete();
    void Clear();
    bool LoadWhole(HeapBlock& text, size_t len);

    HeapBlock m_lines;   // Entry[capacity]
    HeapBlock m_text;    // the held text
    HeapBlock m_pieces;  // Piece[m_pieceCount], in line order
    MemorySource m_held;  // the held text of a table loaded whole, as its source
    TextSource* m_source;
    size_t m_count;
    size_t m_pieceCount;
    size_t m_compareBegin;
    size_t m_compareEnd;
    uint64_t m_from;
    uint64_t m_compareEndOffset;  // from the range's start
    uint32_t m_end;               // the range's length
    uint32_t m_firstNumber;
    bool m_lastOpen;              // the last line has no LF
    bool m_unterminatedLast;      // ... and the text ends there
};

// Reads the lines of a range of a text into a table, one at a time, hashing each as it goes by.
class LineScanner {
public:
    enum Step { kAdded, kEnded, kTooMany, kFailed };

    // Begins the table on the range. Ready() is false when memory ran out.
    LineScanner(TextSource& source, const LineTable::Range& range, LineTable* table);
    LineScanner(const LineScanner&) = delete;
    LineScanner& operator=(const LineScanner&) = delete;

    bool Ready() const { return m_window.Ready(); }
    // Adds the next line: kAdded, kEnded when there was none (the table is then complete),
    // kTooMany past kDiffHeldLines, kFailed when the text could not be read or memory ran out.
    Step Next();

private:
    SourceWindow m_window;
    LineTable& m_table;
    uint64_t m_from;
    uint64_t m_pos;  // from the range's start
    uint64_t m_len;
    bool m_reachesEnd;
};
