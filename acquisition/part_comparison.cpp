#include "acquisition/part_comparison.h"

#include <stdint.h>
#include <string.h>

#include "acquisition/file_io.h"
#include "acquisition/files_differ.h"
#include "acquisition/http_fetch.h"
#include "acquisition/page_text_reader.h"
#include "acquisition/part_filter.h"
#include "base/heap_block.h"

namespace {

enum { kDefaultBlock = 64 * 1024 };

// ---- A line's digest ----

inline uint64_t RotateLeft(uint64_t x, int bits) { return (x << bits) | (x >> (64 - bits)); }

inline uint64_t Avalanche(uint64_t x)
{
    x ^= x >> 33;
    x *= 0xFF51AFD7ED558CCDull;
    x ^= x >> 33;
    x *= 0xC4CEB9FE1A85EC53ull;
    return x ^ (x >> 33);
}

// A line's length and two independent 64-bit digests of its bytes, the same however the line
// arrives in pieces: the bytes are taken eight at a time, whatever is left over waiting for the
// next piece.
class LineDigest {
public:
    struct Value {
        uint64_t length;
        uint64_t a;
        uint64_t b;
        bool operator==(const Value& o) const { return length == o.length && a == o.a && b == o.b; }
    };

    void Add(const char* data, size_t len)
    {
        m_length += len;
        while (len > 0 && m_pendingLen > 0) {
            m_pending[m_pendingLen++] = static_cast<unsigned char>(*data++);
            --len;
            if (m_pendingLen == 8)
                MixPending();
        }
        for (; len >= 8; data += 8, len -= 8) {
            uint64_t word;
            memcpy(&word, data, 8);
            Mix(word);
        }
        memcpy(m_pending + m_pendingLen, data, len);  // len is 0 while bytes of an earlier piece wait
        m_pendingLen += len;
    }
    Value Final() const
    {
        uint64_t tail = 0;
        memcpy(&tail, m_pending, m_pendingLen);
        tail ^= m_length << 56 | m_pendingLen;
        return Value{m_length, Avalanche(m_a ^ (tail * kPrime2)), Avalanche(m_b + RotateLeft(tail * kPrime4, 17))};
    }
    void Clear() { *this = LineDigest(); }

private:
    static const uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
    static const uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;
    static const uint64_t kPrime3 = 0x165667B19E3779F9ull;
    static const uint64_t kPrime4 = 0x85EBCA77C2B2AE63ull;
    static const uint64_t kPrime5 = 0x27D4EB2F165667C5ull;

    void Mix(uint64_t word)
    {
        m_a = RotateLeft(m_a + word * kPrime2, 31) * kPrime1;
        m_b = RotateLeft(m_b ^ (word * kPrime4), 27) * kPrime3 + kPrime5;
    }
    void MixPending()
    {
        uint64_t word;
        memcpy(&word, m_pending, 8);
        Mix(word);
        m_pendingLen = 0;
    }

    uint64_t m_a = kPrime1;
    uint64_t m_b = kPrime5;
    uint64_t m_length = 0;
    unsigned char m_pending[8] = {};
    size_t m_pendingLen = 0;
};

// ---- One page file's lines that count ----

class CountedLines final : private KeptLineSink {
public:
    CountedLines(InputFile& file, bool extract, CharsetKind kind, char* buffer, size_t size, const ComparedPart& part)
        : m_reader(file, extract, kind, buffer, size), m_part(part), m_filter(part, true)
    {
    }

    // The next line that counts; false when none is left.
    bool Next(LineDigest::Value* line);
    // The text lacked the range's start text and was read again whole (known once Next has given
    // a line or false).
    bool RangeMissing() const { return m_rangeMissing; }
    // Reads the start this file has in common with other's, both at their starts: its lines are
    // the same in both and are not compared; other goes on from where they part.
    void ReadCommonStart(CountedLines& other);

private:
    // The common start's text, through this file's filter.
    class CommonText final : public ByteSink {
    public:
        explicit CommonText(CountedLines& lines) : m_lines(lines) {}
        bool Put(const char* data, size_t len) override
        {
            while (len > 0) {
                size_t taken = m_lines.m_filter.Take(data, len, m_lines);
                data += taken;
                len -= taken;
            }
            return true;
        }

    private:
        CountedLines& m_lines;
    };

    void LineText(const char* data, size_t len) override { m_digest.Add(data, len); }
    void EndLine(bool counts) override
    {
        if (counts && !m_readingCommon) {
            m_line = m_digest.Final();
            m_ready = true;
        }
        m_digest.Clear();
    }

    PageTextReader m_reader;
    const ComparedPart& m_part;
    PartFilter m_filter;
    LineDigest m_digest;
    LineDigest::Value m_line = {};
    bool m_ready = false;
    bool m_rangeMissing = false;
    bool m_readingCommon = false;
};

bool CountedLines::Next(LineDigest::Value* line)
{
    for (;;) {
        if (m_ready) {
            *line = m_line;
            m_ready = false;
            return true;
        }
        if (m_filter.Done()) {
            if (m_filter.StartFound() || m_rangeMissing)
                return false;
            // No start text (nothing counted yet): the whole text counts, read again from its start.
            m_rangeMissing = true;
            if (!m_reader.Rewind())
                return false;
            m_filter = PartFilter(m_part, false);
            continue;
        }
        m_reader.Fill();
        if (m_reader.Length() == 0)
            m_filter.Finish(*this);
        else
            m_reader.Drop(m_filter.Take(m_reader.Data(), m_reader.Length(), *this));
    }
}

void CountedLines::ReadCommonStart(CountedLines& other)
{
    CommonText common(*this);
    m_readingCommon = true;
    m_reader.ReadCommonStart(other.m_reader, &common);
    m_readingCommon = false;
    other.m_filter = m_filter;
    other.m_digest = m_digest;
}

int CompareCountedLines(CountedLines& fresh, CountedLines& old)
{
    for (;;) {
        LineDigest::Value a;
        LineDigest::Value b;
        bool freshLine = fresh.Next(&a);
        bool oldLine = old.Next(&b);
        if (!freshLine || !oldLine)
            return freshLine == oldLine ? 0 : 1;  // one file has more lines that count
        if (!(a == b))
            return 1;
    }
}

// ---- One page file's lines that count, written out ----

// Holds the line under way whole (it may yet turn out to be left out) and writes the lines that
// count.
class LineWriter final : public KeptLineSink {
public:
    explicit LineWriter(ByteSink& out) : m_out(out) {}
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

    bool Failed() const { return m_failed; }
    void LineText(const char* data, size_t len) override { m_failed = m_failed || !m_line.Append(&m_len, data, len); }
    void EndLine(bool counts) override
    {
        if (counts && !m_failed)
            m_failed = !m_out.Put(m_line.Data(), m_len) || !m_out.Put("\n", 1);
        m_len = 0;
    }

private:
    ByteSink& m_out;
    HeapBlock m_line;
    size_t m_len = 0;
    bool m_failed = false;
};

// Reads the whole text through a filter.
void FilterText(PageTextReader& reader, PartFilter& filter, KeptLineSink& sink)
{
    for (reader.Fill(); reader.Length() > 0 && !filter.Done(); reader.Fill())
        reader.Drop(filter.Take(reader.Data(), reader.Length(), sink));
    filter.Finish(sink);
}

// The charset the text of an open file is read in: its own declaration's for the readable text.
bool KindToRead(InputFile& file, bool extract, CharsetKind* kind)
{
    *kind = kCharsetShiftJis;
    return !extract || SniffOpenFile(file, kind);
}

}  // namespace

int ComparePagePartsInBlocks(const char* newPath, const char* oldPath, CompareMethod method,
                             const ComparedPart& part, bool* rangeMissing, size_t blockSize)
{
    *rangeMissing = false;
    InputFile freshFile;
    InputFile oldFile;
    int opened = OpenComparedFiles(newPath, oldPath, freshFile, oldFile);
    if (opened == 0)
        return 0;
    blockSize = blockSize < 1 ? 1 : blockSize;
    HeapBlock bufA(blockSize);
    HeapBlock bufB(blockSize);
    bool extract = method == CompareMethod::kTextOnly;
    CharsetKind freshKind;
    CharsetKind oldKind;
    if (!bufA || !bufB || !KindToRead(freshFile, extract, &freshKind))
        return 1;  // cannot tell: report a change rather than miss one
    CountedLines fresh(freshFile, extract, freshKind, bufA.Data(), blockSize, part);
    if (opened == 1) {
        // No reference copy (the site's first copy): a change, and whether the page has its start.
        LineDigest::Value first;
        fresh.Next(&first);
        *rangeMissing = fresh.RangeMissing();
        return 1;
    }
    if (!KindToRead(oldFile, extract, &oldKind))
        return 1;
    CountedLines old(oldFile, extract, oldKind, bufB.Data(), blockSize, part);
    if (freshKind == oldKind)
        fresh.ReadCommonStart(old);
    int differ = CompareCountedLines(fresh, old);
    *rangeMissing = fresh.RangeMissing();
    return differ;
}

int ComparePageParts(const char* newPath, const char* oldPath, CompareMethod method, const ComparedPart& part,
                     bool* rangeMissing)
{
    return ComparePagePartsInBlocks(newPath, oldPath, method, part, rangeMissing, kDefaultBlock);
}

bool WritePagePart(const char* path, CompareMethod method, const ComparedPart& part, ByteSink& sink)
{
    InputFile file;
    HeapBlock buffer(kDefaultBlock);
    bool extract = method == CompareMethod::kTextOnly;
    CharsetKind kind;
    if (!file.Open(path) || !buffer || !KindToRead(file, extract, &kind))
        return false;
    PageTextReader reader(file, extract, kind, buffer.Data(), kDefaultBlock);
    LineWriter lines(sink);
    PartFilter filter(part, true);
    FilterText(reader, filter, lines);
    if (!filter.StartFound()) {
        // No start text (nothing written yet): the whole text counts.
        if (!reader.Rewind())
            return false;
        filter = PartFilter(part, false);
        FilterText(reader, filter, lines);
    }
    return !lines.Failed();
}
