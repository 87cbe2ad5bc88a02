// The lines of a text held for the diff: one owned buffer, each line with its offset, length and
// hash.
#include <stdlib.h>
#include <string.h>

#include "acquisition/file_io.h"
#include "viewer/line_diff.h"
#include "viewer/text_sources.h"

namespace {

uint32_t HashBytes(const char* s, size_t len)
{
    uint32_t h = 2166136261u;  // FNV-1a
    for (size_t i = 0; i < len; ++i)
        h = (h ^ static_cast<unsigned char>(s[i])) * 16777619u;
    return h;
}

size_t CountLineFeeds(const char* s, size_t len)
{
    size_t n = 0;
    const char* end = s + len;
    while ((s = static_cast<const char*>(memchr(s, '\n', static_cast<size_t>(end - s)))) != nullptr) {
        ++n;
        ++s;
    }
    return n;
}

}  // namespace

LineTable::LineTable()
    : m_text(nullptr), m_lines(nullptr), m_count(0), m_compareBegin(0), m_compareEnd(0), m_firstNumber(1),
      m_unterminatedLast(false)
{
}

LineTable::~LineTable() { Clear(); }

void LineTable::Clear()
{
    free(m_text);
    free(m_lines);
    m_text = nullptr;
    m_lines = nullptr;
    m_count = m_compareBegin = m_compareEnd = 0;
    m_firstNumber = 1;
    m_unterminatedLast = false;
}

// Room for the text and its line entries; false (nothing held) when memory runs out.
bool LineTable::Allocate(size_t len, size_t lines)
{
    m_text = static_cast<char*>(malloc(len > 0 ? len : 1));
    m_lines = static_cast<char*>(malloc(lines * sizeof(TextLine)));
    if (m_text != nullptr && m_lines != nullptr)
        return true;
    Clear();
    return false;
}

DiffOutcome LineTable::LoadRange(TextSource& source, const Range& range)
{
    Clear();
    if (range.len > kDiffHeldBytes)
        return kDiffTooDifferent;
    size_t len = static_cast<size_t>(range.len);
    if (!Allocate(len, 1))
        return kDiffFailed;
    if (source.ReadAt(range.from, m_text, len) != static_cast<long>(len)) {
        Clear();
        return kDiffFailed;
    }
    size_t lines = CountLineFeeds(m_text, len) + 1;
    if (lines > kDiffHeldLines) {
        Clear();
        return kDiffTooDifferent;
    }
    void* room = realloc(m_lines, lines * sizeof(TextLine));
    if (room == nullptr) {
        Clear();
        return kDiffFailed;
    }
    m_lines = static_cast<char*>(room);
    Split(len, range);
    return kDiffListed;
}

// Fills the line entries: each line ends at an LF (a CR before it dropped); a last piece without
// one is a line of its own, unterminated when the text ends there.
void LineTable::Split(size_t len, const Range& range)
{
    TextLine* lines = reinterpret_cast<TextLine*>(m_lines);
    size_t compareEndOffset = static_cast<size_t>(range.compareEnd - range.from);
    size_t pos = 0;
    m_compareEnd = 0;
    while (pos < len) {
        const char* lf = static_cast<const char*>(memchr(m_text + pos, '\n', len - pos));
        size_t end = lf != nullptr ? static_cast<size_t>(lf - m_text) : len;
        size_t textEnd = (lf != nullptr && end > pos && m_text[end - 1] == '\r') ? end - 1 : end;
        TextLine& line = lines[m_count];
        line.offset = static_cast<uint32_t>(pos);
        line.length = static_cast<uint32_t>(textEnd - pos);
        line.hash = HashBytes(m_text + pos, textEnd - pos);
        if (pos < compareEndOffset)
            m_compareEnd = m_count + 1;
        ++m_count;
        m_unterminatedLast = lf == nullptr && range.reachesEnd;
        pos = end + 1;
    }
    m_firstNumber = range.firstNumber;
    m_compareBegin = range.contextBefore < m_count ? range.contextBefore : m_count;
    if (m_compareEnd < m_compareBegin)
        m_compareEnd = m_compareBegin;
}

bool LineTable::LoadBytes(const char* data, size_t len)
{
    MemorySource source(data, len);
    Range range = {0, len, len, 1, 0, true};
    return LoadRange(source, range) == kDiffListed;
}

bool LineTable::LoadFile(InputFile& file)
{
    Clear();
    HeapBlock buffer(kDiffReadBlock);
    FileSource source(file);
    uint64_t size = 0;
    if (!buffer || !MeasureSource(source, 0, buffer.Data(), &size))
        return false;
    Range range = {0, size, size, 1, 0, true};
    return LoadRange(source, range) == kDiffListed;
}

bool LineTable::SameLine(size_t i, const LineTable& other, size_t j) const
{
    const TextLine& a = Line(i);
    const TextLine& b = other.Line(j);
    return a.hash == b.hash && a.length == b.length && memcmp(Text(i), other.Text(j), a.length) == 0 &&
           Unterminated(i) == other.Unterminated(j);
}
