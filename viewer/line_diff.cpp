// Line differences: results and hunks with context, the linear-space Myers search over line
// hashes with the bound of the edits and the byte check of the pairs, and the trimming comparison
// that streams past the lines two texts share at their head and tail.
#include "viewer/line_diff.h"

#include <string.h>

#include "acquisition/file_io.h"
#include "viewer/text_sources.h"

namespace {

const uint64_t kMaxLineNumber = 0xFFFFFF00u;  // line numbers stay 32-bit with room for counts

}  // namespace

// ---- results and hunks ---------------------------------------------------------------------

DiffResult::DiffResult()
    : m_edits(kEditCapacity * sizeof(LineEdit)), m_hunks(kEditCapacity * sizeof(DiffHunk)), m_outcome(kDiffFailed),
      m_editCount(0), m_hunkCount(0), m_deleted(0), m_inserted(0), m_olderSize(0), m_newerSize(0)
{
}

void DiffResult::Reset(DiffOutcome outcome)
{
    m_outcome = (m_edits && m_hunks) ? outcome : kDiffFailed;
    m_editCount = m_hunkCount = 0;
    m_deleted = m_inserted = 0;
}

void DiffResult::SetSizes(uint64_t olderSize, uint64_t newerSize)
{
    m_olderSize = olderSize;
    m_newerSize = newerSize;
}

void DiffResult::AddEdit(uint32_t x, uint32_t y, uint32_t olderCount, uint32_t newerCount)
{
    m_deleted += olderCount;
    m_inserted += newerCount;
    if (m_editCount > 0) {
        LineEdit& last = Edits()[m_editCount - 1];
        if (last.olderIndex + last.olderCount == x && last.newerIndex + last.newerCount == y) {
            last.olderCount += olderCount;
            last.newerCount += newerCount;
            return;
        }
    }
    if (m_editCount < kEditCapacity)
        Edits()[m_editCount++] = LineEdit{x, olderCount, y, newerCount};
}

void DiffResult::GroupHunks(const LineTable& older, const LineTable& newer)
{
    m_hunkCount = 0;
    size_t first = 0;
    while (first < m_editCount) {
        size_t last = first;
        while (last + 1 < m_editCount) {
            const LineEdit& a = Edits()[last];
            if (Edits()[last + 1].olderIndex - (a.olderIndex + a.olderCount) > 2 * kDiffContextLines)
                break;
            ++last;
        }
        AddHunk(older, newer, first, last);
        first = last + 1;
    }
}

namespace {

uint32_t Smallest(uint32_t a, uint32_t b, uint32_t c)
{
    uint32_t m = a < b ? a : b;
    return m < c ? m : c;
}

// A hunk start as unified diff writes it: an empty side gives the number of the line before.
uint32_t HunkStart(const LineTable& table, uint32_t index, uint32_t count)
{
    return count > 0 ? table.Number(index) : table.Number(index) - 1;
}

}  // namespace

void DiffResult::AddHunk(const LineTable& older, const LineTable& newer, size_t first, size_t last)
{
    const LineEdit& a = Edits()[first];
    const LineEdit& b = Edits()[last];
    uint32_t before = Smallest(kDiffContextLines, a.olderIndex, a.newerIndex);
    uint32_t olderEnd = b.olderIndex + b.olderCount;
    uint32_t newerEnd = b.newerIndex + b.newerCount;
    uint32_t after = Smallest(kDiffContextLines, static_cast<uint32_t>(older.Count()) - olderEnd,
                              static_cast<uint32_t>(newer.Count()) - newerEnd);
    DiffHunk& h = Hunks()[m_hunkCount++];
    h.olderIndex = a.olderIndex - before;
    h.newerIndex = a.newerIndex - before;
    h.olderCount = olderEnd + after - h.olderIndex;
    h.newerCount = newerEnd + after - h.newerIndex;
    h.olderStart = HunkStart(older, h.olderIndex, h.olderCount);
    h.newerStart = HunkStart(newer, h.newerIndex, h.newerCount);
    h.firstEdit = static_cast<uint32_t>(first);
    h.editCount = static_cast<uint32_t>(last - first + 1);
}

// ---- the edit search -----------------------------------------------------------------------

namespace {

// Myers' search in linear space: each box of the edit graph (older lines [left, right) against
// newer lines [top, bottom)) is split at a point of a shortest path, found where the furthest
// reaching paths from both corners meet, and the halves are searched in turn. The edits come out
// in order. Gives up (false) past kDiffMaxWork steps or past kDiffMaxEditLines edits.
class EditSearch {
public:
    EditSearch(const LineTable& older, const LineTable& newer, DiffResult& result)
        : m_a(older), m_b(newer), m_result(result), m_forward(kArraySize * sizeof(long)),
          m_reverse(kArraySize * sizeof(long)), m_work(0)
    {
    }
    EditSearch(const EditSearch&) = delete;
    EditSearch& operator=(const EditSearch&) = delete;

    bool Ready() const { return m_forward && m_reverse; }
    bool Solve(long left, long top, long right, long bottom);

private:
    enum {
        kDepthLimit = kDiffMaxEditLines / 2 + 1,  // the furthest d a search may go
        kOffset = kDepthLimit + 2,
        kArraySize = 2 * kOffset + 1,
    };
    struct Box {
        long left, top, right, bottom;
    };
    struct Point {
        long x, y;
    };
    enum Step { kSplit, kNoSplit, kGiveUp };

    bool Same(long x, long y) { return ++m_work, m_a.SameLine(static_cast<size_t>(x), m_b, static_cast<size_t>(y)); }
    bool OverBudget() const { return m_work > kDiffMaxWork; }
    void TrimEnds(Box* box);
    bool EmitEdgeCase(const Box& box);
    Step FindSplit(const Box& box, Point* split);
    bool ForwardStep(const Box& box, long d, long span, Point* split);
    bool ReverseStep(const Box& box, long d, long span, Point* split);
    long* Forward() const { return reinterpret_cast<long*>(m_forward.Data()) + kOffset; }
    long* Reverse() const { return reinterpret_cast<long*>(m_reverse.Data()) + kOffset; }

    const LineTable& m_a;
    const LineTable& m_b;
    DiffResult& m_result;
    HeapBlock m_forward;  // x reached on each diagonal k = x - y, from the top left
    HeapBlock m_reverse;  // lines gone back on each diagonal, from the bottom right
    long m_work;
};

void EditSearch::TrimEnds(Box* box)
{
    while (box->left < box->right && box->top < box->bottom && Same(box->left, box->top)) {
        ++box->left;
        ++box->top;
    }
    while (box->left < box->right && box->top < box->bottom && Same(box->right - 1, box->bottom - 1)) {
        --box->right;
        --box->bottom;
    }
}

// A box with an empty side is all deletions or all insertions. True when it was one.
bool EditSearch::EmitEdgeCase(const Box& box)
{
    uint32_t x = static_cast<uint32_t>(box.left);
    uint32_t y = static_cast<uint32_t>(box.top);
    if (box.left == box.right) {
        if (box.top < box.bottom)
            m_result.AddEdit(x, y, 0, static_cast<uint32_t>(box.bottom - box.top));
        return true;
    }
    if (box.top == box.bottom) {
        m_result.AddEdit(x, y, static_cast<uint32_t>(box.right - box.left), 0);
        return true;
    }
    return false;
}

bool EditSearch::Solve(long left, long top, long right, long bottom)
{
    Box box = {left, top, right, bottom};
    TrimEnds(&box);
    if (OverBudget())
        return false;
    if (EmitEdgeCase(box))
        return true;
    Point split = {0, 0};
    Step step = FindSplit(box, &split);
    if (step == kGiveUp)
        return false;
    if (step == kNoSplit) {  // nothing in common: every line goes
        m_result.AddEdit(static_cast<uint32_t>(box.left), static_cast<uint32_t>(box.top),
                         static_cast<uint32_t>(box.right - box.left), 0);
        m_result.AddEdit(static_cast<uint32_t>(box.right), static_cast<uint32_t>(box.top), 0,
                         static_cast<uint32_t>(box.bottom - box.top));
        return true;
    }
    return Solve(box.left, box.top, split.x, split.y) && Solve(split.x, split.y, box.right, box.bottom);
}

// Both texts of the box are non-empty and differ in their first and last lines. Coordinates in
// the arrays are relative to the box corner they start from; -1 marks a diagonal not reached.
EditSearch::Step EditSearch::FindSplit(const Box& box, Point* split)
{
    long width = box.right - box.left;
    long height = box.bottom - box.top;
    long maxD = (width + height + 1) / 2;
    long span = maxD < kDepthLimit + 1 ? maxD : kDepthLimit + 1;  // diagonals -span..span in use
    for (long k = -span - 1; k <= span + 1; ++k)
        Forward()[k] = Reverse()[k] = -1;
    for (long d = 0; d < maxD; ++d) {
        if (d > kDepthLimit || OverBudget())
            return kGiveUp;
        if (ForwardStep(box, d, span, split) || ReverseStep(box, d, span, split))
            return kSplit;
    }
    return kNoSplit;
}

// The furthest x a d-path reaches on diagonal k = x - y of a width by height box, from the
// (d-1)-paths in v: a move down from diagonal k + 1 or right from k - 1, never off the box.
// -1 when no d-path reaches the diagonal.
long Reach(const long* v, long k, long d, long width, long height)
{
    if (d == 0)
        return 0;
    long best = -1;
    if (k < d && v[k + 1] >= 0 && v[k + 1] - k <= height)
        best = v[k + 1];
    if (k > -d && v[k - 1] >= 0 && v[k - 1] + 1 <= width && v[k - 1] + 1 > best)
        best = v[k - 1] + 1;
    return best;
}

// Extends the furthest reaching d-paths from the top left. True, with the split point, where one
// meets a reverse path on its diagonal (only possible for an odd difference of the box sides).
bool EditSearch::ForwardStep(const Box& box, long d, long span, Point* split)
{
    long width = box.right - box.left;
    long height = box.bottom - box.top;
    long delta = width - height;
    long* v = Forward();
    for (long k = -d; k <= d; k += 2) {
        long x = Reach(v, k, d, width, height);
        long y = x - k;
        ++m_work;
        if (x >= 0) {
            while (x < width && y < height && Same(box.left + x, box.top + y))
                ++x, ++y;
        }
        v[k] = x;
        long r = delta - k;  // the same diagonal as the reverse paths count it
        if (x >= 0 && (delta & 1) != 0 && r >= -span && r <= span && Reverse()[r] >= 0 &&
            x >= width - Reverse()[r]) {
            *split = Point{box.left + x, box.top + y};
            return true;
        }
    }
    return false;
}

// Extends the furthest reaching d-paths back from the bottom right, counted in lines gone back.
// True, with the split point (the forward path's end on the meeting diagonal), for an even
// difference of the box sides.
bool EditSearch::ReverseStep(const Box& box, long d, long span, Point* split)
{
    long width = box.right - box.left;
    long height = box.bottom - box.top;
    long delta = width - height;
    long* v = Reverse();
    for (long k = -d; k <= d; k += 2) {
        long x = Reach(v, k, d, width, height);
        long y = x - k;
        ++m_work;
        if (x >= 0) {
            while (x < width && y < height && Same(box.right - 1 - x, box.bottom - 1 - y))
                ++x, ++y;
        }
        v[k] = x;
        long f = delta - k;
        if (x >= 0 && (delta & 1) == 0 && f >= -span && f <= span && Forward()[f] >= 0 &&
            Forward()[f] >= width - x) {
            *split = Point{box.left + Forward()[f], box.top + Forward()[f] - f};
            return true;
        }
    }
    return false;
}

// A multiset of line hashes (their low 32 bits), each with where it was last added: the lines
// of one side in a window. Open addressing with linear probing; a slot whose count drops to zero
// is refilled from the slots after it, so no marks of removed keys pile up.
class HashWindow {
public:
    enum { kSlots = 1 << 15 };  // more than 1.5 times the lines of a window, 2 * kDiffMaxEditLines + 1

    bool Allocate()
    {
        if (!m_slots.Resize(kSlots * sizeof(Slot)))
            return false;
        Clear();
        return true;
    }
    void Clear() { memset(m_slots.Data(), 0, m_slots.Size()); }
    void Add(uint32_t key, size_t line)
    {
        Slot& slot = Slots()[Find(key)];
        slot.key = key;
        slot.line = static_cast<uint32_t>(line);
        ++slot.count;
    }
    void Remove(uint32_t key)
    {
        size_t hole = Find(key);
        if (--Slots()[hole].count > 0)
            return;
        for (size_t next = Next(hole); Slots()[next].count != 0; next = Next(next)) {
            size_t home = Home(Slots()[next].key);
            bool reachable = hole <= next ? (hole < home && home <= next) : (hole < home || home <= next);
            if (!reachable) {  // the key's probe passes the hole: move it there
                Slots()[hole] = Slots()[next];
                Slots()[next].count = 0;
                hole = next;
            }
        }
    }
    // Whether key is there, and the line it was last added for.
    bool Lookup(uint32_t key, size_t* line) const
    {
        const Slot& slot = Slots()[Find(key)];
        *line = slot.line;
        return slot.count != 0;
    }

private:
    struct Slot {
        uint32_t key;
        uint32_t line;
        uint32_t count;  // 0: the slot is free
    };
    Slot* Slots() const { return reinterpret_cast<Slot*>(m_slots.Data()); }
    static size_t Home(uint32_t key) { return key & (kSlots - 1); }  // the hash is well mixed already
    static size_t Next(size_t i) { return (i + 1) & (kSlots - 1); }
    // The slot of key, or the free slot where it would go.
    size_t Find(uint32_t key) const
    {
        size_t i = Home(key);
        while (Slots()[i].count != 0 && Slots()[i].key != key)
            i = Next(i);
        return i;
    }

    HeapBlock m_slots;
};

// A lower bound of the edits, kept while the lines stream in: line i of one side can only be
// paired with a line within kDiffMaxEditLines of i on the other (each step off the diagonal is
// an edit), so a line with no equal hash among those is an edit for certain. Each side's lines
// are checked once the window over the other's is complete: first against the line on the
// diagonal of the last match found (how mostly equal texts go by, at one test a line), and only
// when that differs against the whole window, which is brought up to date then.
class EditBound {
public:
    EditBound(const LineTable& older, const LineTable& newer)
        : m_sides{{&older, &newer, {}, 0, 0, 0, 0}, {&newer, &older, {}, 0, 0, 0, 0}}, m_unmatched(0), m_ready(false)
    {
    }
    EditBound(const EditBound&) = delete;
    EditBound& operator=(const EditBound&) = delete;

    // Checks every line whose window is complete, given whether each side has all its lines:
    // kDiffTooDifferent once the lines certain to be edits pass kDiffMaxEditLines, kDiffFailed
    // out of memory, else kDiffListed.
    DiffOutcome Advance(bool olderWhole, bool newerWhole)
    {
        if (!m_ready) {
            size_t lines = Compared(*m_sides[0].own) + Compared(*m_sides[1].own);
            if (lines <= kDiffMaxEditLines)
                return kDiffListed;  // never past the cap: nothing to check yet
            if (!m_sides[0].window.Allocate() || !m_sides[1].window.Allocate())
                return kDiffFailed;
            m_ready = true;
        }
        if (!CheckSide(m_sides[0], newerWhole) || !CheckSide(m_sides[1], olderWhole))
            return kDiffTooDifferent;
        return kDiffListed;
    }

private:
    enum { kReach = kDiffMaxEditLines };
    struct Side {
        const LineTable* own;
        const LineTable* other;
        HashWindow window;  // the other side's compared lines [low, high)
        size_t next;        // the own compared line to check next
        size_t low;
        size_t high;
        long shift;         // other line minus own line of the last match
    };

    static size_t Compared(const LineTable& t) { return t.CompareEnd() - t.CompareBegin(); }
    static uint32_t Key(const LineTable& t, size_t i) { return static_cast<uint32_t>(t.Hash(t.CompareBegin() + i)); }

    // Makes the window the other side's lines [begin, end): line by line, or anew when the two
    // do not overlap.
    static void MoveWindow(Side& s, size_t begin, size_t end)
    {
        if (begin >= s.high) {
            s.window.Clear();
            s.low = s.high = begin;
        }
        for (; s.high < end; ++s.high)
            s.window.Add(Key(*s.other, s.high), s.high);
        for (; s.low < begin; ++s.low)
            s.window.Remove(Key(*s.other, s.low));
    }

    // Whether own line i has an equal among the other side's lines [begin, end).
    static bool HasEqual(Side& s, size_t i, size_t begin, size_t end)
    {
        uint32_t key = Key(*s.own, i);
        long guess = static_cast<long>(i) + s.shift;
        if (guess >= static_cast<long>(begin) && guess < static_cast<long>(end) &&
            Key(*s.other, static_cast<size_t>(guess)) == key)
            return true;
        MoveWindow(s, begin, end);
        size_t line = 0;
        if (!s.window.Lookup(key, &line))
            return false;
        s.shift = static_cast<long>(line) - static_cast<long>(i);
        return true;
    }

    // False once the bound passes the cap.
    bool CheckSide(Side& s, bool otherWhole)
    {
        size_t own = Compared(*s.own);
        size_t other = Compared(*s.other);
        for (; s.next < own; ++s.next) {
            size_t end = s.next + kReach + 1;
            if (end > other && !otherWhole)
                return true;  // the window is not complete yet
            end = end < other ? end : other;
            size_t begin = s.next > kReach ? s.next - kReach : 0;
            begin = begin < end ? begin : end;
            if (!HasEqual(s, s.next, begin, end) && ++m_unmatched > kDiffMaxEditLines)
                return false;
        }
        return true;
    }

    Side m_sides[2];
    size_t m_unmatched;
    bool m_ready;
};

// Compares the bytes of the lines a script pairs, in order, reading each side through a window.
class PairCheck {
public:
    PairCheck(const LineTable& older, const LineTable& newer) : m_older(older), m_newer(newer)
    {
        m_windows[0].Attach(older.Source());
        m_windows[1].Attach(newer.Source());
    }
    bool Ready() const { return m_windows[0].Ready() && m_windows[1].Ready(); }
    // kDiffListed when every line paired outside the edits has the same bytes, kDiffTooDifferent
    // when one does not (a hash collision), kDiffFailed when a text could not be read.
    DiffOutcome Check(const DiffResult& result)
    {
        size_t x = m_older.CompareBegin();
        size_t y = m_newer.CompareBegin();
        for (size_t e = 0; e <= result.EditCount(); ++e) {
            size_t until = e < result.EditCount() ? result.Edit(e).olderIndex : m_older.CompareEnd();
            for (; x < until; ++x, ++y) {
                DiffOutcome same = Same(x, y);
                if (same != kDiffListed)
                    return same;
            }
            if (e < result.EditCount()) {
                x += result.Edit(e).olderCount;
                y = result.Edit(e).newerIndex + result.Edit(e).newerCount;
            }
        }
        return kDiffListed;
    }

private:
    DiffOutcome Same(size_t i, size_t j)
    {
        size_t left = m_older.Length(i);
        if (left != m_newer.Length(j) || m_older.Unterminated(i) != m_newer.Unterminated(j))
            return kDiffTooDifferent;
        uint64_t a = m_older.SourceOffset(i);
        uint64_t b = m_newer.SourceOffset(j);
        while (left > 0) {
            size_t na = 0, nb = 0;
            const char* pa = m_windows[0].At(a, left, &na);
            const char* pb = m_windows[1].At(b, left, &nb);
            if (pa == nullptr || pb == nullptr || na == 0 || nb == 0)
                return kDiffFailed;
            size_t n = na < nb ? na : nb;
            if (memcmp(pa, pb, n) != 0)
                return kDiffTooDifferent;
            a += n;
            b += n;
            left -= n;
        }
        return kDiffListed;
    }

    const LineTable& m_older;
    const LineTable& m_newer;
    SourceWindow m_windows[2];
};

// The search, the byte check of the pairs and the hunks, into a result already reset.
DiffOutcome SearchTables(const LineTable& older, const LineTable& newer, DiffResult* result)
{
    EditSearch search(older, newer, *result);
    PairCheck pairs(older, newer);
    if (result->Outcome() != kDiffListed || !search.Ready() || !pairs.Ready())
        return kDiffFailed;
    bool done = search.Solve(static_cast<long>(older.CompareBegin()), static_cast<long>(newer.CompareBegin()),
                             static_cast<long>(older.CompareEnd()), static_cast<long>(newer.CompareEnd()));
    if (!done || result->DeletedLines() + result->InsertedLines() > kDiffMaxEditLines)
        return kDiffTooDifferent;
    DiffOutcome checked = pairs.Check(*result);
    if (checked == kDiffListed)
        result->GroupHunks(older, newer);
    return checked;
}

DiffOutcome Finish(DiffResult* result, DiffOutcome outcome)
{
    if (outcome != kDiffListed || result->Outcome() != kDiffListed)
        result->Reset(outcome);
    return result->Outcome();
}

}  // namespace

DiffOutcome DiffLineTables(const LineTable& older, const LineTable& newer, DiffResult* result)
{
    result->Reset(kDiffListed);
    EditBound bound(older, newer);
    DiffOutcome outcome = bound.Advance(true, true);
    if (outcome == kDiffListed)
        outcome = SearchTables(older, newer, result);
    return Finish(result, outcome);
}

// ---- the trimming comparison ---------------------------------------------------------------

namespace {

size_t CommonPrefix(const char* a, const char* b, size_t len)
{
    if (memcmp(a, b, len) == 0)
        return len;
    size_t i = 0;
    while (a[i] == b[i])
        ++i;
    return i;
}

size_t CommonSuffix(const char* a, const char* b, size_t len)
{
    if (memcmp(a, b, len) == 0)
        return len;
    size_t i = 0;
    while (a[len - 1 - i] == b[len - 1 - i])
        ++i;
    return i;
}

// The bytes to read next of the left still wanted: a block at most.
size_t BlockFor(uint64_t left)
{
    return left < kDiffReadBlock ? static_cast<size_t>(left) : static_cast<size_t>(kDiffReadBlock);
}

// The starts of the last few lines of a text streaming by.
class LineStarts {
public:
    enum { kKept = kDiffContextLines + 1 };
    LineStarts() : m_count(0) { m_starts[0] = 0; }
    // Counts the LFs of s[0, len), found at text position offset.
    void Note(const char* s, size_t len, uint64_t offset)
    {
        const char* p = s;
        const char* end = s + len;
        while ((p = static_cast<const char*>(memchr(p, '\n', static_cast<size_t>(end - p)))) != nullptr) {
            ++p;
            m_starts[++m_count % kKept] = offset + static_cast<uint64_t>(p - s);
        }
    }
    uint64_t Count() const { return m_count; }
    // Where line n starts, for n from Count() - kDiffContextLines to Count().
    uint64_t Start(uint64_t n) const { return m_starts[n % kKept]; }

private:
    uint64_t m_starts[kKept];
    uint64_t m_count;
};

// Where two texts begin to differ: the lines they share whole at their head, their sizes, and
// the lines they share at their tail.
struct TextBounds {
    uint64_t size[2];
    uint64_t headEnd;       // text position after the shared head lines
    uint64_t headLines;
    uint64_t contextStart;  // where the context lines before headEnd begin
    uint32_t contextLines;
    bool identical;
    uint64_t tail;          // bytes of the shared tail lines, the same in both
    uint64_t contextAfter;  // bytes of the context lines at the start of the tail
};

void NoteHead(const LineStarts& starts, bool identical, TextBounds* bounds)
{
    uint64_t lines = starts.Count();
    uint32_t context = static_cast<uint32_t>(kDiffContextLines);
    if (lines < context)
        context = static_cast<uint32_t>(lines);
    bounds->headLines = lines;
    bounds->headEnd = starts.Start(lines);
    bounds->contextStart = starts.Start(lines - context);
    bounds->contextLines = context;
    bounds->identical = identical;
}

// The size of a text read up to offset + got, where got bytes came from a read of a whole block.
bool FinishSize(TextSource& source, uint64_t offset, long got, char* buf, uint64_t* size)
{
    *size = offset + static_cast<uint64_t>(got);
    return got < kDiffReadBlock || MeasureSource(source, *size, buf, size);
}

// Streams both texts from their start to the first differing byte, then measures them.
bool ScanHead(TextSource& a, TextSource& b, char* bufA, char* bufB, TextBounds* bounds)
{
    LineStarts starts;
    uint64_t offset = 0;
    for (;;) {
        long na = a.ReadAt(offset, bufA, kDiffReadBlock);
        long nb = b.ReadAt(offset, bufB, kDiffReadBlock);
        if (na < 0 || nb < 0)
            return false;
        size_t common = static_cast<size_t>(na < nb ? na : nb);
        size_t same = CommonPrefix(bufA, bufB, common);
        starts.Note(bufA, same, offset);
        if (same < common || na != nb || na < kDiffReadBlock) {
            NoteHead(starts, same == common && na == nb, bounds);
            return FinishSize(a, offset, na, bufA, &bounds->size[0]) &&
                   FinishSize(b, offset, nb, bufB, &bounds->size[1]);
        }
        offset += static_cast<uint64_t>(na);
    }
}

// Bytes both texts share at their end, not reaching into the shared head.
bool ScanTail(TextSource& a, TextSource& b, char* bufA, char* bufB, const TextBounds& bounds, uint64_t* shared)
{
    uint64_t shorter = bounds.size[0] < bounds.size[1] ? bounds.size[0] : bounds.size[1];
    uint64_t limit = shorter - bounds.headEnd;
    *shared = 0;
    while (*shared < limit) {
        size_t n = BlockFor(limit - *shared);
        if (a.ReadAt(bounds.size[0] - *shared - n, bufA, n) != static_cast<long>(n) ||
            b.ReadAt(bounds.size[1] - *shared - n, bufB, n) != static_cast<long>(n))
            return false;
        size_t same = CommonSuffix(bufA, bufB, n);
        *shared += same;
        if (same < n)
            break;
    }
    return true;
}

// The text position after the wanted-th LF in [from, to), or to when there are fewer.
bool SkipLines(TextSource& source, uint64_t from, uint64_t to, uint32_t wanted, char* buf, uint64_t* end)
{
    *end = to;
    while (wanted > 0 && from < to) {
        size_t n = BlockFor(to - from);
        if (source.ReadAt(from, buf, n) != static_cast<long>(n))
            return false;
        const char* p = buf;
        const char* stop = buf + n;
        while (wanted > 0 && (p = static_cast<const char*>(memchr(p, '\n', static_cast<size_t>(stop - p)))) != nullptr) {
            ++p;
            if (--wanted == 0)
                *end = from + static_cast<uint64_t>(p - buf);
        }
        from += n;
    }
    return true;
}

// Whether text position pos (at or past the shared head's end) begins a line.
bool StartsLine(TextSource& source, uint64_t pos, uint64_t headEnd, char* buf)
{
    return pos == headEnd || (source.ReadAt(pos - 1, buf, 1) == 1 && buf[0] == '\n');
}

// The shared tail: whole lines of the shared end bytes, with the context lines at its start.
bool FindTail(TextSource& a, TextSource& b, char* bufA, char* bufB, TextBounds* bounds)
{
    uint64_t shared = 0;
    if (!ScanTail(a, b, bufA, bufB, *bounds, &shared))
        return false;
    uint64_t sizeA = bounds->size[0];
    uint64_t from = sizeA - shared;
    uint64_t headEnd = bounds->headEnd;
    if (shared > 0 && StartsLine(a, from, headEnd, bufA) && StartsLine(b, bounds->size[1] - shared, headEnd, bufB)) {
        bounds->tail = shared;
    } else {
        uint64_t lineEnd = sizeA;
        if (!SkipLines(a, from, sizeA, 1, bufA, &lineEnd))
            return false;
        bounds->tail = sizeA - lineEnd;
    }
    uint64_t tailStart = sizeA - bounds->tail;
    uint64_t limit = sizeA - tailStart > kDiffHeldBytes ? tailStart + kDiffHeldBytes + 1 : sizeA;
    uint64_t contextEnd = limit;
    if (!SkipLines(a, tailStart, limit, kDiffContextLines, bufA, &contextEnd))
        return false;
    bounds->contextAfter = contextEnd - tailStart;
    return true;
}

// The stretch of one side between the shared head and tail, with the context lines around it.
LineTable::Range SideRange(const TextBounds& bounds, int side)
{
    uint64_t tailStart = bounds.size[side] - bounds.tail;
    uint64_t end = tailStart + bounds.contextAfter;
    LineTable::Range range;
    range.from = bounds.contextStart;
    range.len = end - bounds.contextStart;
    range.compareEnd = tailStart;
    range.firstNumber = static_cast<uint32_t>(bounds.headLines - bounds.contextLines + 1);
    range.contextBefore = bounds.contextLines;
    range.reachesEnd = end == bounds.size[side];
    return range;
}

// Adds the next line of one side, noting when the side has all its lines.
DiffOutcome TakeLine(LineScanner& scanner, bool* whole)
{
    switch (scanner.Next()) {
    case LineScanner::kAdded: return kDiffListed;
    case LineScanner::kEnded: *whole = true; return kDiffListed;
    case LineScanner::kTooMany: return kDiffTooDifferent;
    default: return kDiffFailed;
    }
}

// Reads both stretches a line of each at a time into the tables, keeping the bound of the edits:
// unrelated texts are known after a few window lengths, however large they are.
DiffOutcome ReadSides(TextSource& a, TextSource& b, const TextBounds& bounds, LineTable* older, LineTable* newer)
{
    LineTable::Range ranges[2] = {SideRange(bounds, 0), SideRange(bounds, 1)};
    if (bounds.headLines > kMaxLineNumber || ranges[0].len > kDiffMaxStretchBytes ||
        ranges[1].len > kDiffMaxStretchBytes)
        return kDiffTooDifferent;
    LineScanner scanA(a, ranges[0], older);
    LineScanner scanB(b, ranges[1], newer);
    if (!scanA.Ready() || !scanB.Ready())
        return kDiffFailed;
    EditBound bound(*older, *newer);
    bool wholeA = false;
    bool wholeB = false;
    DiffOutcome outcome = kDiffListed;
    while (outcome == kDiffListed && !(wholeA && wholeB)) {
        if (!wholeA)
            outcome = TakeLine(scanA, &wholeA);
        if (outcome == kDiffListed && !wholeB)
            outcome = TakeLine(scanB, &wholeB);
        if (outcome == kDiffListed)
            outcome = bound.Advance(wholeA, wholeB);
    }
    return outcome;
}

// Reads back the text of the hunks' lines, for the page.
DiffOutcome HoldHunkText(const DiffResult& result, LineTable* older, LineTable* newer)
{
    size_t n = result.HunkCount();
    HeapBlock room(2 * (n > 0 ? n : 1) * sizeof(LineSpan));
    if (!room)
        return kDiffFailed;
    LineSpan* olderSpans = reinterpret_cast<LineSpan*>(room.Data());
    LineSpan* newerSpans = olderSpans + n;
    for (size_t h = 0; h < n; ++h) {
        const DiffHunk& hunk = result.Hunk(h);
        olderSpans[h] = LineSpan{hunk.olderIndex, hunk.olderCount};
        newerSpans[h] = LineSpan{hunk.newerIndex, hunk.newerCount};
    }
    DiffOutcome outcome = older->HoldText(olderSpans, n);
    return outcome == kDiffListed ? newer->HoldText(newerSpans, n) : outcome;
}

DiffOutcome DiffSources(TextSource& a, TextSource& b, LineTable* older, LineTable* newer, DiffResult* result)
{
    HeapBlock bufA(kDiffReadBlock);
    HeapBlock bufB(kDiffReadBlock);
    TextBounds bounds = {};
    result->SetSizes(0, 0);
    result->Reset(kDiffListed);
    if (!bufA || !bufB || !ScanHead(a, b, bufA.Data(), bufB.Data(), &bounds))
        return Finish(result, kDiffFailed);
    result->SetSizes(bounds.size[0], bounds.size[1]);
    DiffOutcome outcome = kDiffListed;
    if (bounds.identical) {
        MemorySource nothing(nullptr, 0);
        LineTable::Range empty = {0, 0, 0, 1, 0, true};
        older->Begin(nothing, empty);
        newer->Begin(nothing, empty);
    } else if (!FindTail(a, b, bufA.Data(), bufB.Data(), &bounds)) {
        outcome = kDiffFailed;
    } else {
        outcome = ReadSides(a, b, bounds, older, newer);
        if (outcome == kDiffListed)
            outcome = SearchTables(*older, *newer, result);
        if (outcome == kDiffListed)
            outcome = HoldHunkText(*result, older, newer);
    }
    older->DropSource();
    newer->DropSource();
    return Finish(result, outcome);
}

}  // namespace

DiffOutcome DiffFiles(InputFile& older, InputFile& newer, LineTable* olderLines, LineTable* newerLines,
                      DiffResult* result)
{
    FileSource a(older);
    FileSource b(newer);
    return DiffSources(a, b, olderLines, newerLines, result);
}

DiffOutcome DiffFilePaths(const char* olderPath, const char* newerPath, LineTable* olderLines,
                          LineTable* newerLines, DiffResult* result)
{
    InputFile older;
    InputFile newer;
    if (!older.Open(olderPath) || !newer.Open(newerPath)) {
        result->SetSizes(0, 0);
        return Finish(result, kDiffFailed);
    }
    return DiffFiles(older, newer, olderLines, newerLines, result);
}

DiffOutcome DiffTexts(const char* older, size_t olderLen, const char* newer, size_t newerLen,
                      LineTable* olderLines, LineTable* newerLines, DiffResult* result)
{
    MemorySource a(older, olderLen);
    MemorySource b(newer, newerLen);
    return DiffSources(a, b, olderLines, newerLines, result);
}
