// The lines of a text held for the diff: the line entries with their hashes, made by a scanner
// that streams the text through a window, and the text of chosen lines read back by offset.
#include "viewer/line_table.h"

#include <string.h>

#include "acquisition/file_io.h"

namespace {

uint64_t RotateLeft(uint64_t x, int bits) { return (x << bits) | (x >> (64 - bits)); }

// Eight bytes as a little-endian word, whatever the machine: a line hashes the same however the
// reads cut it.
uint64_t LoadWord(const unsigned char* s)
{
    uint64_t w = 0;
    for (int i = 7; i >= 0; --i)
        w = w << 8 | s[i];
    return w;
}

// A 64-bit hash of one line's bytes as they stream by (MurmurHash3's 64-bit mixing of 8-byte
// words). The last byte given is held back until more come, so that a CR right before the LF can
// be left out.
class LineHasher {
public:
    void Add(const char* s, size_t n)
    {
        if (n == 0)
            return;
        if (m_held >= 0) {
            unsigned char held = static_cast<unsigned char>(m_held);
            Feed(&held, 1);
        }
        Feed(reinterpret_cast<const unsigned char*>(s), n - 1);
        m_held = static_cast<unsigned char>(s[n - 1]);
    }
    // The hash once the line has ended, at an LF (endsWithLf: a CR before it is dropped, and
    // *cr set) or without one. The text's last line without an LF hashes apart from the same
    // bytes with one.
    uint64_t Finish(bool endsWithLf, bool unterminated, bool* cr)
    {
        *cr = endsWithLf && m_held == '\r';
        if (m_held >= 0 && !*cr) {
            unsigned char held = static_cast<unsigned char>(m_held);
            Feed(&held, 1);
        }
        if (m_wordBytes > 0)
            Mix(m_word);
        uint64_t h = m_state ^ (m_length << 1 | (unterminated ? 1u : 0u));
        h ^= h >> 33;
        h *= 0xFF51AFD7ED558CCDull;
        h ^= h >> 33;
        h *= 0xC4CEB9FE1A85EC53ull;
        return h ^ (h >> 33);
    }

private:
    void Mix(uint64_t k)
    {
        k *= 0x87C37B91114253D5ull;
        k = RotateLeft(k, 31);
        k *= 0x4CF5AD432745937Full;
        m_state = RotateLeft(m_state ^ k, 27) * 5 + 0x52DCE729u;
    }
    void Feed(const unsigned char* s, size_t n)
    {
        m_length += n;
        for (; n > 0 && m_wordBytes > 0; --n)
            TakeByte(*s++);
        for (; n >= 8; n -= 8, s += 8)
            Mix(LoadWord(s));
        for (; n > 0; --n)
            TakeByte(*s++);
    }
    void TakeByte(unsigned char c)
    {
        m_word |= static_cast<uint64_t>(c) << (8 * m_wordBytes);
        if (++m_wordBytes == 8) {
            Mix(m_word);
            m_word = 0;
            m_wordBytes = 0;
        }
    }

    uint64_t m_state = 0x5157A4E5u;
    uint64_t m_word = 0;
    unsigned m_wordBytes = 0;
    uint64_t m_length = 0;
    int m_held = -1;
};

enum { kFirstCapacity = 1024 };  // line entries made room for at first

}  // namespace

LineTable::LineTable()
    : m_held(nullptr, 0), m_source(nullptr), m_count(0), m_pieceCount(0), m_compareBegin(0), m_compareEnd(0),
      m_from(0), m_compareEndOffset(0), m_end(0), m_firstNumber(1), m_lastOpen(false), m_unterminatedLast(false)
{
}

void LineTable::Clear()
{
    m_lines.Free();
    m_text.Free();
    m_pieces.Free();
    m_held.Retarget(nullptr, 0);
    m_source = nullptr;
    m_count = m_pieceCount = m_compareBegin = m_compareEnd = 0;
    m_from = m_compareEndOffset = 0;
    m_end = 0;
    m_firstNumber = 1;
    m_lastOpen = m_unterminatedLast = false;
}

void LineTable::Begin(TextSource& source, const Range& range)
{
    Clear();
    m_source = &source;
    m_from = range.from;
    m_compareEndOffset = range.compareEnd - range.from;
    m_firstNumber = range.firstNumber;
    m_compareBegin = m_compareEnd = range.contextBefore;
}

// Adds the entry of a line that starts at start and ends before end (after its LF, if any):
// kDiffTooDifferent past kDiffHeldLines, kDiffFailed out of memory.
DiffOutcome LineTable::Append(uint32_t start, uint32_t end, bool cr, bool open, bool unterminated, uint64_t hash)
{
    if (m_count >= kDiffHeldLines)
        return kDiffTooDifferent;
    if ((m_count + 1) * sizeof(Entry) > m_lines.Size()) {
        size_t capacity = m_count < kFirstCapacity ? kFirstCapacity : 2 * m_count;
        capacity = capacity < kDiffHeldLines ? capacity : kDiffHeldLines;
        if (!m_lines.Resize(capacity * sizeof(Entry)))
            return kDiffFailed;
    }
    Entry& e = reinterpret_cast<Entry*>(m_lines.Data())[m_count++];
    e.start = start | (cr ? kCrBit : 0u);
    e.hashLow = static_cast<uint32_t>(hash);
    e.hashHigh = static_cast<uint32_t>(hash >> 32);
    if (start < m_compareEndOffset && m_count > m_compareBegin)
        m_compareEnd = m_count;
    m_end = end;
    m_lastOpen = open;
    m_unterminatedLast = unterminated;
    return kDiffListed;
}

// All lines are in: the entries take no more room than they need.
void LineTable::Complete()
{
    if (m_count < m_compareBegin)
        m_compareBegin = m_compareEnd = m_count;
    if (m_count > 0 && m_lines.Size() > m_count * sizeof(Entry))
        m_lines.Resize(m_count * sizeof(Entry));  // a smaller block: never fails in practice, harmless if it does
}

size_t LineTable::Length(size_t i) const
{
    uint32_t end = NextStart(i);
    if (i + 1 == m_count && m_lastOpen)
        return end - Start(i);
    return end - Start(i) - 1 - ((Line(i).start & kCrBit) != 0 ? 1 : 0);
}

const char* LineTable::Text(size_t i) const
{
    if (m_pieceCount == 0)
        return m_text.Data();
    const Piece* pieces = Pieces();
    size_t low = 0;
    size_t high = m_pieceCount;
    while (high - low > 1) {  // the last piece that begins at or before line i
        size_t middle = low + (high - low) / 2;
        if (pieces[middle].first <= i)
            low = middle;
        else
            high = middle;
    }
    const Piece& piece = pieces[low];
    return m_text.Data() + piece.offset + (Start(i) - Start(piece.first));
}

DiffOutcome LineTable::HoldText(const LineSpan* spans, size_t count)
{
    m_text.Free();
    m_pieces.Free();
    m_pieceCount = 0;
    uint64_t total = 0;
    for (size_t k = 0; k < count; ++k) {
        if (spans[k].count > 0)
            total += NextStart(spans[k].first + spans[k].count - 1) - Start(spans[k].first);
    }
    if (total > kDiffHeldBytes)
        return kDiffTooDifferent;
    if (m_source == nullptr || !m_text.Resize(static_cast<size_t>(total)) || !m_pieces.Resize(count * sizeof(Piece)))
        return kDiffFailed;
    Piece* pieces = reinterpret_cast<Piece*>(m_pieces.Data());
    uint32_t used = 0;
    for (size_t k = 0; k < count; ++k) {
        const LineSpan& span = spans[k];
        if (span.count == 0)
            continue;
        uint32_t n = NextStart(span.first + span.count - 1) - Start(span.first);
        if (m_source->ReadAt(SourceOffset(span.first), m_text.Data() + used, n) != static_cast<long>(n))
            return kDiffFailed;
        pieces[m_pieceCount++] = Piece{span.first, used};
        used += n;
    }
    return kDiffListed;
}

// Takes the whole text in text (len bytes, swapped into the table) and its lines.
bool LineTable::LoadWhole(HeapBlock& text, size_t len)
{
    MemorySource source(text.Data(), len);
    Range range = {0, len, len, 1, 0, true};
    LineScanner scanner(source, range, this);
    LineScanner::Step step = scanner.Ready() ? LineScanner::kAdded : LineScanner::kFailed;
    while (step == LineScanner::kAdded)
        step = scanner.Next();
    if (step != LineScanner::kEnded) {
        Clear();
        return false;
    }
    m_text.Swap(text);
    m_held.Retarget(m_text.Data(), len);
    m_source = &m_held;
    if (!m_pieces.Resize(sizeof(Piece))) {
        Clear();
        return false;
    }
    reinterpret_cast<Piece*>(m_pieces.Data())[0] = Piece{0, 0};
    m_pieceCount = 1;
    return true;
}

bool LineTable::LoadBytes(const char* data, size_t len)
{
    Clear();
    HeapBlock text;
    if (len > kDiffHeldBytes || !text.Resize(len))
        return false;
    if (len > 0)
        memcpy(text.Data(), data, len);
    return LoadWhole(text, len);
}

bool LineTable::LoadFile(InputFile& file)
{
    Clear();
    HeapBlock buffer(kDiffReadBlock);
    HeapBlock text;
    FileSource source(file);
    uint64_t size = 0;
    if (!buffer || !MeasureSource(source, 0, buffer.Data(), &size) || size > kDiffHeldBytes ||
        !text.Resize(static_cast<size_t>(size)))
        return false;
    size_t len = static_cast<size_t>(size);
    if (source.ReadAt(0, text.Data(), len) != static_cast<long>(len))
        return false;
    return LoadWhole(text, len);
}

// ---- the scanner ---------------------------------------------------------------------------

LineScanner::LineScanner(TextSource& source, const LineTable::Range& range, LineTable* table)
    : m_table(*table), m_from(range.from), m_pos(0), m_len(range.len), m_reachesEnd(range.reachesEnd)
{
    m_window.Attach(&source);
    table->Begin(source, range);
}

LineScanner::Step LineScanner::Next()
{
    if (m_pos >= m_len) {
        m_table.Complete();
        return kEnded;
    }
    uint64_t start = m_pos;
    LineHasher hasher;
    for (;;) {
        size_t count = 0;
        const char* p = m_window.At(m_from + m_pos, m_len - m_pos, &count);
        if (p == nullptr || count == 0)
            return kFailed;  // unreadable, or shorter than it was
        const char* lf = static_cast<const char*>(memchr(p, '\n', count));
        size_t n = lf != nullptr ? static_cast<size_t>(lf - p) : count;
        hasher.Add(p, n);
        m_pos += n + (lf != nullptr ? 1 : 0);
        if (lf != nullptr || m_pos == m_len) {
            bool open = lf == nullptr;
            bool cr = false;
            uint64_t hash = hasher.Finish(!open, open && m_reachesEnd, &cr);
            DiffOutcome added = m_table.Append(static_cast<uint32_t>(start), static_cast<uint32_t>(m_pos), cr, open,
                                               open && m_reachesEnd, hash);
            return added == kDiffListed ? kAdded : added == kDiffTooDifferent ? kTooMany : kFailed;
        }
    }
}
