#include "acquisition/part_filter.h"

#include <string.h>

#include "base/cp932.h"

namespace {

// What a byte may begin, as the walk over a line sees it.
enum : unsigned char {
    kLeadBit = 1,     // a double-byte character: the next byte is its trail
    kCrBit = 2,       // a CR, which at the window's end may be the start of a line end
    kFromBit = 4,     // the range's start text
    kToBit = 8,       // its end text
    kIgnoredBit = 16, // an ignored text
};

const uint64_t kNoEnd = UINT64_MAX;

static_assert(PartFilter::kWindowSize > 2 * kIgnoreTextsSize, "the longest text fits in a window with room to spare");

}  // namespace

PartFilter::PartFilter(const ComparedPart& part, bool useRange)
    : m_from(part.from), m_fromLen(useRange ? strlen(part.from) : 0), m_to(part.to),
      m_toLen(useRange ? strlen(part.to) : 0), m_ignored(part.ignore), m_texts(), m_byFirst(), m_kinds(), m_pairs(),
      m_phase(m_fromLen > 0 ? kSeekStart : kInside), m_startFound(m_fromLen == 0), m_lineBase(0), m_toFrom(0),
      m_ignoredEnd(kNoEnd), m_used(0), m_walked(0), m_keptFrom(0), m_handedText(false)
{
    for (int c = 0; c < 256; ++c)
        m_kinds[c] = cp932::IsLeadByte(static_cast<unsigned char>(c)) ? kLeadBit : 0;
    m_kinds[static_cast<unsigned char>('\r')] |= kCrBit;
    if (m_fromLen > 0)
        m_kinds[static_cast<unsigned char>(m_from[0])] |= kFromBit;
    if (m_toLen > 0)
        m_kinds[static_cast<unsigned char>(m_to[0])] |= kToBit;
    AddIgnoredTexts(part.ignore);
    AddPair(m_from, m_fromLen);
    AddPair(m_to, m_toLen);
    for (size_t k = 0; k < m_byFirst[256]; ++k)
        AddPair(m_ignored + m_texts[k].at, m_texts[k].len);
}

// Notes the first two bytes a text begins with (a text of one byte: its byte and any other).
void PartFilter::AddPair(const char* text, size_t len)
{
    if (len == 0)
        return;
    unsigned first = static_cast<unsigned char>(text[0]) << 8;
    for (unsigned second = 0; second < 256; ++second) {
        if (len == 1 || second == static_cast<unsigned char>(text[1]))
            m_pairs[(first | second) >> 3] |= static_cast<unsigned char>(1u << (second & 7));
    }
}

// Whether some text may begin at window offset i, judged by its first two bytes.
bool PartFilter::MayBegin(size_t i) const
{
    if (i + 1 >= m_used)
        return true;  // the second byte is still to come
    unsigned pair = static_cast<unsigned>(static_cast<unsigned char>(m_window[i])) << 8 |
                    static_cast<unsigned char>(m_window[i + 1]);
    return (m_pairs[pair >> 3] >> (pair & 7)) & 1;
}

// The ignored texts, sorted by their first byte so that a byte finds the texts it may begin.
void PartFilter::AddIgnoredTexts(const char* texts)
{
    Text found[kMaxIgnoredTexts];
    unsigned short perFirst[256] = {};
    size_t count = 0;
    for (const char* t = texts; *t != '\0' && count < kMaxIgnoredTexts;) {
        size_t len = strcspn(t, "\n");
        if (len > 0) {
            auto first = static_cast<unsigned char>(*t);
            found[count++] = Text{static_cast<unsigned short>(t - texts), static_cast<unsigned short>(len)};
            ++perFirst[first];
            m_kinds[first] |= kIgnoredBit;
        }
        t += len;
        if (*t == '\n')
            ++t;
    }
    unsigned short next[256];
    unsigned short at = 0;
    for (int c = 0; c < 256; ++c) {
        m_byFirst[c] = next[c] = at;
        at = static_cast<unsigned short>(at + perFirst[c]);
    }
    m_byFirst[256] = at;
    for (size_t k = 0; k < count; ++k)
        m_texts[next[static_cast<unsigned char>(texts[found[k].at])]++] = found[k];
}

size_t PartFilter::Take(const char* data, size_t len, KeptLineSink& sink)
{
    if (m_phase == kDone)
        return len;
    size_t taken = 0;
    while (taken < len) {
        const char* rest = data + taken;
        size_t room = kWindowSize - m_used;  // never 0: a full window is spilled at once
        size_t look = len - taken < room ? len - taken : room;
        const char* lineFeed = static_cast<const char*>(memchr(rest, '\n', look));
        size_t count = lineFeed ? static_cast<size_t>(lineFeed - rest) : look;
        memcpy(m_window + m_used, rest, count);
        m_used += count;
        taken += count;
        if (lineFeed) {
            EndLine(true, sink);
            return taken + 1;
        }
        if (m_used == kWindowSize) {
            Spill(sink);
            if (m_phase == kDone)
                return len;
        }
    }
    return taken;
}

void PartFilter::Finish(KeptLineSink& sink)
{
    if (m_phase != kDone && (m_used > 0 || m_lineBase > 0))
        EndLine(false, sink);
    m_phase = kDone;
}

// The bytes whose kind stops the walk: the first bytes of the texts looked for where the walk
// stands; CR inside the range.
unsigned char PartFilter::Mask(size_t i) const
{
    if (m_phase == kSeekStart)
        return kFromBit;
    unsigned char mask = kCrBit;
    if (m_toLen > 0)
        mask |= kToBit;
    if (m_lineBase + i < m_ignoredEnd)
        mask |= kIgnoredBit;  // an ignored text beginning here could still end first
    return mask;
}

// Whether window offset i begins a character, given that offset anchor (not past i) does. The
// bytes just before i that can be lead bytes pair up from the last byte before them that cannot
// (which ends a character, or is one) or from the anchor: i begins a character when they are even
// in number. The walk only moves its anchor forward, so no byte is looked at twice this way.
bool PartFilter::StartsCharacter(size_t anchor, size_t i) const
{
    size_t j = i;
    while (j > anchor && (m_kinds[static_cast<unsigned char>(m_window[j - 1])] & kLeadBit))
        --j;
    return ((i - j) & 1) == 0;
}

// Walks the window from where the last walk stopped, looking for the texts at the bytes that may
// begin one and begin a character. Stops at a character that cannot be decided until more of the
// line has come (kWaiting), at the end text (kEndFound), or at the window's end (a lead byte last
// in it waiting for its trail byte). m_walked is then where it stopped, always where a character
// begins.
PartFilter::Walked PartFilter::WalkWindow(bool lineOver)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(m_window);
    size_t anchor = m_walked;
    size_t i = m_walked;
    for (;;) {
        unsigned char mask = Mask(i);
        i = SkipPlainBytes(bytes, i, mask);
        if (i == m_used)
            break;
        if (!StartsCharacter(anchor, i)) {
            anchor = ++i;  // a trail byte: the next byte begins a character
            continue;
        }
        anchor = i;
        unsigned char kind = m_kinds[bytes[i]] & mask;
        if ((kind & (kFromBit | kToBit | kIgnoredBit)) && MayBegin(i)) {
            Found found = LookAt(i, lineOver);
            if (found == kWait || found == kEnd) {
                m_walked = i;
                return found == kWait ? kWaiting : kEndFound;
            }
            if (found == kStart)
                continue;  // this character is now the range's first: looked at again as such
        }
        if ((kind & kCrBit) && i + 1 == m_used && !lineOver) {
            m_walked = i;  // the LF of a line end may follow
            return kWaiting;
        }
        ++i;
    }
    if (!lineOver && m_used > anchor && !StartsCharacter(anchor, m_used)) {
        m_walked = m_used - 1;  // a lead byte whose trail byte is still to come
        return kWaiting;
    }
    m_walked = m_used;
    return kWalked;
}

// The first offset from i whose byte stops the walk under mask (m_used when none does), eight
// bytes at a time where it can.
size_t PartFilter::SkipPlainBytes(const unsigned char* bytes, size_t i, unsigned char mask) const
{
    const unsigned char* kinds = m_kinds;
    for (; i + 8 <= m_used; i += 8) {
        unsigned char any = kinds[bytes[i]] | kinds[bytes[i + 1]] | kinds[bytes[i + 2]] | kinds[bytes[i + 3]] |
                            kinds[bytes[i + 4]] | kinds[bytes[i + 5]] | kinds[bytes[i + 6]] | kinds[bytes[i + 7]];
        if (any & mask)
            break;
    }
    while (i < m_used && !(kinds[bytes[i]] & mask))
        ++i;
    return i;
}

// Whether text[0, len) stands at at: the first two bytes compared before the call that compares
// the rest, as most candidates fail there.
static bool TextAt(const char* at, const char* text, size_t len)
{
    return at[0] == text[0] && (len < 2 || at[1] == text[1]) && memcmp(at, text, len) == 0;
}

// Whether a text looked for begins at window offset i.
PartFilter::Found PartFilter::LookAt(size_t i, bool lineOver)
{
    size_t avail = m_used - i;
    const char* at = m_window + i;
    if (m_phase == kSeekStart) {
        if (m_fromLen > avail)
            return lineOver ? kNothing : kWait;
        if (!TextAt(at, m_from, m_fromLen))
            return kNothing;
        StartRangeAt(i);
        return kStart;
    }
    bool wait = false;
    if (m_toLen > 0 && *at == m_to[0] && m_lineBase + i >= m_toFrom) {
        if (m_toLen > avail)
            wait = !lineOver;
        else if (TextAt(at, m_to, m_toLen))
            return kEnd;
    }
    LookForIgnored(i, avail, lineOver, &wait);
    return wait ? kWait : kNothing;
}

void PartFilter::LookForIgnored(size_t i, size_t avail, bool lineOver, bool* wait)
{
    uint64_t at = m_lineBase + i;
    if (at >= m_ignoredEnd)
        return;
    auto first = static_cast<unsigned char>(m_window[i]);
    for (size_t k = m_byFirst[first]; k < m_byFirst[first + 1]; ++k) {
        const Text& text = m_texts[k];
        if (text.len > avail) {
            *wait = *wait || !lineOver;
            continue;
        }
        if (at + text.len < m_ignoredEnd && TextAt(m_window + i, m_ignored + text.at, text.len))
            m_ignoredEnd = at + text.len;
    }
}

void PartFilter::StartRangeAt(size_t i)
{
    m_phase = kInside;
    m_startFound = true;
    m_keptFrom = i;
    m_toFrom = m_lineBase + i + m_fromLen;
    m_ignoredEnd = kNoEnd;
    m_handedText = false;
}

// The window is full: what has been looked at leaves it, handed on when it is part of the range.
void PartFilter::Spill(KeptLineSink& sink)
{
    if (WalkWindow(false) == kEndFound) {
        EndLineAt(m_walked, true, sink);
        m_phase = kDone;
        ResetLine();
        return;
    }
    size_t cut = m_walked;  // more than 0: no text is as long as the window
    // A line that already holds an ignored text inside the range is left out whatever follows.
    if (m_phase == kInside && cut > m_keptFrom) {
        if (m_ignoredEnd > m_lineBase + cut)
            sink.LineText(m_window + m_keptFrom, cut - m_keptFrom);
        m_handedText = true;
    }
    Shift(cut);
}

// The line is over: at its LF (byLineFeed), or where the text ended.
void PartFilter::EndLine(bool byLineFeed, KeptLineSink& sink)
{
    bool endFound = WalkWindow(true) == kEndFound;
    size_t end = endFound ? m_walked : m_used;
    if (!endFound && byLineFeed && end > m_keptFrom && m_window[end - 1] == '\r')
        --end;  // CR LF ends a line as LF does
    if (m_phase == kInside)
        EndLineAt(end, endFound, sink);
    if (endFound)
        m_phase = kDone;
    ResetLine();
}

// Ends the line's part of the range at window offset end: it counts unless an ignored text lies
// wholly inside it. A line that the end text begins adds nothing: the range ended with the line
// before.
void PartFilter::EndLineAt(size_t end, bool atEndText, KeptLineSink& sink)
{
    if (atEndText && end == m_keptFrom && !m_handedText)
        return;
    bool counts = m_ignoredEnd > m_lineBase + end;
    if (counts && end > m_keptFrom)
        sink.LineText(m_window + m_keptFrom, end - m_keptFrom);
    sink.EndLine(counts);
}

void PartFilter::Shift(size_t count)
{
    memmove(m_window, m_window + count, m_used - count);
    m_used -= count;
    m_walked -= count;
    m_keptFrom = m_keptFrom > count ? m_keptFrom - count : 0;
    m_lineBase += count;
}

void PartFilter::ResetLine()
{
    m_used = 0;
    m_walked = 0;
    m_keptFrom = 0;
    m_lineBase = 0;
    m_toFrom = 0;
    m_ignoredEnd = kNoEnd;
    m_handedText = false;
}
