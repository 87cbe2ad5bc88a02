// The readable-text state machine. Bytes go one at a time through a state per construct (tag,
// comment, reference...); outside ISO-2022-JP, where no byte can change the meaning of the bytes
// after it, what makes up most of a page (plain text, whole tags with their attributes, named
// references, comment and script bodies) is read in runs, skipped with memchr or copied with
// memcpy, the byte-by-byte states taking over wherever a run stops short.
#include "acquisition/visible_text.h"

#include <string.h>

#include "acquisition/html_names.h"
#include "base/ascii.h"
#include "base/decimal.h"

enum VisibleTextExtractor::State : unsigned char {
    kText,
    kTagOpen,     // after "<"
    kEndTagOpen,  // after "</"
    kTagName,
    kTagBody,     // among attribute names, blanks and "/"
    kAfterEquals,
    kQuoted,
    kUnquoted,
    kBang,  // after "<!": a comment, a CDATA section or a declaration
    kComment,
    kCdata,
    kDeclaration,  // "<!...>", "<?...>", "</ ...>": up to ">"
    kRawText,      // a script or style body, up to its end tag
    kReference,    // after "&"
    kNumberStart,  // after "&#"
    kHexStart,     // after "&#x"
    kNumber,
    kName,
};

enum VisibleTextExtractor::TagKind : unsigned char { kInlineTag, kBlockTag, kHiddenTag };
static_assert(VisibleTextExtractor::kTagNameSize == kMaxTagNameLength + 1, "every name held can be looked up");

namespace {

const uint32_t kTooLarge = 0x110000;  // a reference's number stops growing here
const uint32_t kReplacement = 0xFFFD;
const uint32_t kNoBreakSpace = 0xA0;

// What a byte can end or be, one table lookup for the loops over runs of bytes.
enum ByteClass : unsigned char {
    kPlainByte = 1,          // copied as it is in text: above space, neither "<" nor "&"
    kBlankByte = 2,          // space, tab, LF, FF, CR
    kEndsAttributeName = 4,  // ">" and "="
    kEndsUnquotedValue = 8,  // a blank and ">"
    kEndsTagName = 16,       // a blank, "/" and ">"
};

struct ByteClasses {
    unsigned char of[256] = {};
};

constexpr ByteClasses MakeByteClasses()
{
    ByteClasses classes{};
    for (int c = 0x21; c < 256; ++c)
        classes.of[c] = (c == '<' || c == '&') ? 0 : kPlainByte;
    for (const char* blank = " \t\n\f\r"; *blank != '\0'; ++blank)
        classes.of[static_cast<unsigned char>(*blank)] = kBlankByte | kEndsUnquotedValue | kEndsTagName;
    classes.of[static_cast<unsigned char>('>')] = kPlainByte | kEndsAttributeName | kEndsUnquotedValue | kEndsTagName;
    classes.of[static_cast<unsigned char>('=')] |= kEndsAttributeName;
    classes.of[static_cast<unsigned char>('/')] |= kEndsTagName;
    return classes;
}

constexpr ByteClasses kByteClasses = MakeByteClasses();

bool IsClass(char c, unsigned classes) { return (kByteClasses.of[static_cast<unsigned char>(c)] & classes) != 0; }

bool IsBlank(char c) { return IsClass(c, kBlankByte); }

// Where the next byte c is in data[pos, len), or len.
size_t FindByte(const char* data, size_t pos, size_t len, char c)
{
    const char* found = static_cast<const char*>(memchr(data + pos, c, len - pos));
    return found != nullptr ? static_cast<size_t>(found - data) : len;
}

bool IsAlnum(char c) { return IsAsciiLetter(c) || IsAsciiDigit(c); }

// Plain text bytes: copied as they are.

// The value of c as a digit in base (10 or 16), or -1.
int DigitValue(char c, unsigned base)
{
    if (IsAsciiDigit(c))
        return c - '0';
    char lower = LowerAscii(c);
    if (base == 16 && lower >= 'a' && lower <= 'f')
        return lower - 'a' + 10;
    return -1;
}

// The character a reference's number names, as browsers take it.
uint32_t ReadReferenceNumber(uint32_t value)
{
    static const uint16_t kWindows1252[32] = {  // 0x80-0x9F; 0 where it has no character
        0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
        0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
    };
    if (value == 0 || value >= kTooLarge || (value >= 0xD800 && value <= 0xDFFF))
        return kReplacement;
    if (value >= 0x80 && value <= 0x9F && kWindows1252[value - 0x80] != 0)
        return kWindows1252[value - 0x80];
    return value;
}

}  // namespace

VisibleTextExtractor::VisibleTextExtractor(CharsetKind kind) : m_kind(kind), m_encoder(kind), m_outLen(0)
{
    m_parse.iso2022 = kind == kCharsetIso2022Jp;
}

size_t VisibleTextExtractor::Take(const char* data, size_t len)
{
    size_t pos = 0;
    while (pos < len && HasRoom()) {
        if (!m_parse.iso2022) {
            pos = SkipRun(data, pos, len);
            if (pos == len || !HasRoom())
                break;
        }
        TakeByte(data[pos++]);
    }
    return pos;
}

bool VisibleTextExtractor::Finish()
{
    if (!HasRoom())
        return false;
    if (m_parse.state >= kReference)
        FinishReferenceAtEnd();
    else if (m_parse.state == kTagOpen)
        AddChar('<');
    m_parse.state = kText;
    EndLine();
    SwitchToAscii();
    return true;
}

void VisibleTextExtractor::Reset()
{
    m_parse = Parse();
    m_parse.iso2022 = m_kind == kCharsetIso2022Jp;
    m_outLen = 0;
}

bool VisibleTextExtractor::TakeOverState(const VisibleTextExtractor& other)
{
    if (other.m_kind != m_kind)
        return false;
    m_parse = other.m_parse;
    memcpy(m_out, other.m_out, other.m_outLen);
    m_outLen = other.m_outLen;
    return true;
}

void VisibleTextExtractor::DropOutput(size_t count)
{
    count = count < m_outLen ? count : m_outLen;
    memmove(m_out, m_out + count, m_outLen - count);
    m_outLen -= count;
}

// Passes over the run of bytes at pos that cannot change the state, or goes through whole tags
// in one go; returns where it stops.
size_t VisibleTextExtractor::SkipRun(const char* data, size_t pos, size_t len)
{
    switch (m_parse.state) {
    case kText:
        for (;;) {  // text, whole tags and whole named references, while they follow each other
            pos = CopyTextRun(data, pos, len);
            if (StartsTag(data, pos, len))
                pos = ReadTagRun(data, pos, len);
            else if (!ReadNamedReference(data, &pos, len))
                return pos;
            if (m_parse.state != kText)
                return pos;
        }
    case kTagName:
    case kTagBody:
    case kAfterEquals:
    case kQuoted:
    case kUnquoted: return ReadTagRun(data, pos, len);
    case kComment: return m_parse.closers != 0 ? pos : FindByte(data, pos, len, '-');  // the next may be ">"
    case kCdata: return m_parse.closers != 0 ? pos : FindByte(data, pos, len, ']');
    case kRawText: return m_parse.rawMatch != 0 ? pos : FindByte(data, pos, len, '<');
    case kDeclaration: return FindByte(data, pos, len, '>');
    default: return pos;
    }
}

// Whether data[pos, len) starts with "<" or "</" and a letter, the start of a tag's name.
bool VisibleTextExtractor::StartsTag(const char* data, size_t pos, size_t len) const
{
    if (len - pos < 3 || data[pos] != '<' || !HasRoom())
        return false;
    return IsAsciiLetter(data[pos + 1]) || (data[pos + 1] == '/' && IsAsciiLetter(data[pos + 2]));
}

// Reads a known named reference ended by ";" that lies whole at *pos ("&amp;"), as TakeInName
// would; false, reading nothing, for anything else (left to the byte-by-byte reading).
bool VisibleTextExtractor::ReadNamedReference(const char* data, size_t* pos, size_t len)
{
    size_t start = *pos + 1;
    if (!HasRoom() || *pos == len || data[*pos] != '&')
        return false;
    size_t end = start;
    while (end < len && end - start < kReferenceSize - 1 && IsAlnum(data[end]))
        ++end;
    uint32_t cp = 0;
    if (end == start || end == len || data[end] != ';' || !FindNamedReference(data + start, end - start, &cp))
        return false;
    WriteCodePoint(cp);
    *pos = end + 1;
    return true;
}

// Reads a tag from its start (at "<") or from the state it stopped in, up to its ">" or the end
// of data, the way TakeInTagName and TakeInTag read it byte by byte.
size_t VisibleTextExtractor::ReadTagRun(const char* data, size_t pos, size_t len)
{
    if (m_parse.state == kText) {
        bool endTag = data[pos + 1] == '/';
        pos += endTag ? 2 : 1;
        StartTagName(data[pos++], endTag);
    }
    if (m_parse.state == kTagName) {
        pos = ReadTagNameRun(data, pos, len);
        if (pos == len)
            return pos;
        EndTagName();
        m_parse.state = kTagBody;
    }
    return ReadAttributeRun(data, pos, len);
}

// Reads a tag's attributes from the state it stopped in up to its ">" (which finishes the tag) or
// the end of data, as TakeInTag reads them byte by byte.
size_t VisibleTextExtractor::ReadAttributeRun(const char* data, size_t pos, size_t len)
{
    State state = m_parse.state;
    while (pos < len) {
        char ended = '\0';  // the byte that ended the run: ">" ends the tag
        switch (state) {
        case kTagBody:
            while (pos < len && !IsClass(data[pos], kEndsAttributeName))
                ++pos;
            if (pos < len && (ended = data[pos++]) == '=')
                state = kAfterEquals;
            break;
        case kAfterEquals:
            while (pos < len && IsBlank(data[pos]))
                ++pos;
            if (pos == len || (ended = data[pos]) == '>') {
                pos += pos < len ? 1 : 0;
            } else if (ended == '"' || ended == '\'') {
                m_parse.quote = ended;
                state = kQuoted;
                ++pos;
            } else {
                state = kUnquoted;  // this byte starts the value
            }
            break;
        case kQuoted:
            while (pos < len && data[pos] != m_parse.quote)
                ++pos;
            if (pos < len) {
                ++pos;
                state = kTagBody;
            }
            break;
        default:
            while (pos < len && !IsClass(data[pos], kEndsUnquotedValue))
                ++pos;
            if (pos < len && (ended = data[pos++]) != '>')
                state = kTagBody;  // a blank ends the value
            break;
        }
        if (ended == '>') {
            FinishTag();
            return pos;
        }
    }
    m_parse.state = state;
    return pos;
}

// Copies the plain text at pos, words and the blanks between them, as much as the output takes
// keeping kReserve free.
size_t VisibleTextExtractor::CopyTextRun(const char* data, size_t pos, size_t len)
{
    for (;;) {
        size_t room = kOutputSize - kReserve - m_outLen;
        if (room < 2)
            return pos;  // a word may take a space before it
        size_t limit = len - pos < room - 1 ? len : pos + room - 1;
        size_t end = pos;
        while (end < limit && IsClass(data[end], kPlainByte))
            ++end;
        if (end > pos) {
            BeginText();
            memcpy(m_out + m_outLen, data + pos, end - pos);
            m_outLen += end - pos;
        }
        pos = end;
        if (pos == len || !IsBlank(data[pos]))
            return pos;
        while (pos < len && IsBlank(data[pos]))
            ++pos;
        AddBlank();
    }
}

size_t VisibleTextExtractor::ReadTagNameRun(const char* data, size_t pos, size_t len)
{
    for (; pos < len; ++pos) {
        char c = data[pos];
        if (IsClass(c, kEndsTagName))
            break;
        if (m_parse.tagLen < kTagNameSize)
            m_parse.tagName[m_parse.tagLen++] = LowerAscii(c);
        else
            m_parse.tagTooLong = true;
    }
    return pos;
}

void VisibleTextExtractor::TakeByte(char c)
{
    if (m_parse.iso2022) {
        Iso2022Shift::Role role = m_parse.shift.Classify(static_cast<unsigned char>(c));
        if (role == Iso2022Shift::kEscape)
            return;
        if (role == Iso2022Shift::kOpaque) {
            TakeOpaqueByte(c);
            return;
        }
    }
    while (!Dispatch(c)) {
    }
}

// A byte of an ISO-2022-JP double-byte character: text in text, inert in markup. It ends the
// short constructs still deciding what they are.
void VisibleTextExtractor::TakeOpaqueByte(char c)
{
    if (m_parse.state == kTagOpen) {
        AddChar('<');
        m_parse.state = kText;
    } else if (m_parse.state == kEndTagOpen || m_parse.state == kBang) {
        m_parse.state = kDeclaration;
    } else if (m_parse.state >= kReference) {
        FinishReferenceAtEnd();
        m_parse.state = kText;
    } else if (m_parse.state == kTagName) {
        m_parse.tagTooLong = true;  // no known name
    } else if (m_parse.state == kAfterEquals) {
        m_parse.state = kUnquoted;
    }
    m_parse.rawMatch = 0;
    m_parse.closers = 0;
    if (m_parse.state == kText)
        AddOpaque(c);
}

// Takes c in the current state. False when c ended a construct without being part of it: it is
// then taken again in the state that follows (never twice more).
bool VisibleTextExtractor::Dispatch(char c)
{
    switch (m_parse.state) {
    case kText: return TakeInText(c);
    case kTagOpen: return TakeInTagOpen(c);
    case kEndTagOpen: return TakeInEndTagOpen(c);
    case kTagName: return TakeInTagName(c);
    case kTagBody:
    case kAfterEquals:
    case kQuoted:
    case kUnquoted: return TakeInTag(c);
    case kBang: return TakeInBang(c);
    case kComment: return TakeInClosedRun(c, '-');
    case kCdata: return TakeInClosedRun(c, ']');
    case kDeclaration:
        m_parse.state = c == '>' ? kText : kDeclaration;
        return true;
    case kRawText: return TakeInRawText(c);
    case kReference: return TakeInReference(c);
    case kNumberStart:
    case kHexStart:
    case kNumber: return TakeInNumber(c);
    case kName: return TakeInName(c);
    }
    return true;
}

bool VisibleTextExtractor::TakeInText(char c)
{
    if (c == '<')
        m_parse.state = kTagOpen;
    else if (c == '&')
        StartReference();
    else if (IsBlank(c))
        AddBlank();
    else if (c != '\0')
        AddChar(c);
    return true;
}

bool VisibleTextExtractor::TakeInTagOpen(char c)
{
    if (IsAsciiLetter(c)) {
        StartTagName(c, false);
    } else if (c == '/') {
        m_parse.state = kEndTagOpen;
    } else if (c == '!') {
        m_parse.state = kBang;
        m_parse.match = 0;
    } else if (c == '?') {
        m_parse.state = kDeclaration;
    } else {
        AddChar('<');
        m_parse.state = kText;
        return false;
    }
    return true;
}

bool VisibleTextExtractor::TakeInEndTagOpen(char c)
{
    if (IsAsciiLetter(c)) {
        StartTagName(c, true);
        return true;
    }
    m_parse.state = kDeclaration;  // "</>" and "</ ...>" are left out up to ">"
    return false;
}

void VisibleTextExtractor::StartTagName(char c, bool endTag)
{
    m_parse.tagName[0] = LowerAscii(c);
    m_parse.tagLen = 1;
    m_parse.tagTooLong = false;
    m_parse.endTag = endTag;
    m_parse.state = kTagName;
}

bool VisibleTextExtractor::TakeInTagName(char c)
{
    if (IsBlank(c) || c == '/' || c == '>') {
        EndTagName();
        m_parse.state = kTagBody;
        return false;
    }
    if (m_parse.tagLen < kTagNameSize)
        m_parse.tagName[m_parse.tagLen++] = LowerAscii(c);
    else
        m_parse.tagTooLong = true;
    return true;
}

void VisibleTextExtractor::EndTagName()
{
    KnownTag tag;
    bool known = !m_parse.tagTooLong && FindTagName(m_parse.tagName, m_parse.tagLen, &tag);
    m_parse.tagKind = !known ? kInlineTag : tag.kind == kHiddenTagName ? kHiddenTag : kBlockTag;
    if (known && m_parse.tagKind == kHiddenTag) {
        m_parse.rawName = tag.name;
        m_parse.rawNameLen = tag.len;
    }
}

// Attributes: ">" ends the tag except inside a quoted value.
bool VisibleTextExtractor::TakeInTag(char c)
{
    if (m_parse.state == kQuoted) {
        if (c == m_parse.quote)
            m_parse.state = kTagBody;
        return true;
    }
    if (c == '>') {
        FinishTag();
    } else if (m_parse.state == kTagBody) {
        m_parse.state = c == '=' ? kAfterEquals : kTagBody;
    } else if (m_parse.state == kAfterEquals) {
        if (c == '"' || c == '\'') {
            m_parse.quote = c;
            m_parse.state = kQuoted;
        } else if (!IsBlank(c)) {
            m_parse.state = kUnquoted;
        }
    } else if (IsBlank(c)) {
        m_parse.state = kTagBody;  // the end of an unquoted value
    }
    return true;
}

void VisibleTextExtractor::FinishTag()
{
    if (m_parse.tagKind == kBlockTag)
        EndLine();
    if (m_parse.tagKind == kHiddenTag && !m_parse.endTag) {
        m_parse.state = kRawText;
        m_parse.rawMatch = 0;
    } else {
        m_parse.state = kText;
    }
}

// After "<!": "--" opens a comment, "[CDATA[" a CDATA section, anything else a declaration.
bool VisibleTextExtractor::TakeInBang(char c)
{
    static const char kCdataOpener[] = "[CDATA[";
    if (m_parse.match == 0)
        m_parse.bangComment = c == '-';
    const char* opener = m_parse.bangComment ? "--" : kCdataOpener;
    if (c != opener[m_parse.match]) {
        m_parse.state = kDeclaration;
        return false;
    }
    if (opener[++m_parse.match] != '\0')
        return true;
    m_parse.state = m_parse.bangComment ? kComment : kCdata;
    m_parse.closers = m_parse.bangComment ? 2 : 0;  // the opening dashes count: "<!-->" is a whole comment
    return true;
}

// A comment ends at "-->", a CDATA section at "]]>": ">" after two or more closers.
bool VisibleTextExtractor::TakeInClosedRun(char c, char closer)
{
    if (c == '>' && m_parse.closers >= 2)
        m_parse.state = kText;
    else
        m_parse.closers = c == closer ? (m_parse.closers < 2 ? m_parse.closers + 1 : 2) : 0;
    return true;
}

// Looks for "</name" followed by a blank, "/" or ">"; the end tag then closes like any tag.
bool VisibleTextExtractor::TakeInRawText(char c)
{
    size_t& matched = m_parse.rawMatch;
    if (matched < 2 + m_parse.rawNameLen) {
        char wanted = matched == 0 ? '<' : matched == 1 ? '/' : m_parse.rawName[matched - 2];
        matched = LowerAscii(c) == wanted ? matched + 1 : c == '<' ? 1 : 0;
        return true;
    }
    m_parse.rawMatch = 0;
    if (IsBlank(c) || c == '/' || c == '>') {
        m_parse.endTag = true;
        m_parse.tagKind = kInlineTag;
        m_parse.state = kTagBody;
    }
    return false;
}

void VisibleTextExtractor::StartReference()
{
    m_parse.ref[0] = '&';
    m_parse.refLen = 1;
    m_parse.refValue = 0;
    m_parse.state = kReference;
}

void VisibleTextExtractor::AddToReference(char c) { m_parse.ref[m_parse.refLen++] = c; }

bool VisibleTextExtractor::TakeInReference(char c)
{
    if (c == '#') {
        AddToReference(c);
        m_parse.state = kNumberStart;
        return true;
    }
    if (IsAlnum(c)) {
        AddToReference(c);
        m_parse.state = kName;
        return true;
    }
    WriteRawReference();
    return false;
}

bool VisibleTextExtractor::TakeInNumber(char c)
{
    if (m_parse.state == kNumberStart && (c == 'x' || c == 'X')) {
        AddToReference(c);
        m_parse.state = kHexStart;
        return true;
    }
    if (m_parse.state != kNumber)
        m_parse.refBase = m_parse.state == kHexStart ? 16 : 10;
    int digit = DigitValue(c, m_parse.refBase);
    if (digit >= 0) {
        uint32_t value = m_parse.refValue * m_parse.refBase + static_cast<uint32_t>(digit);
        m_parse.refValue = value < kTooLarge ? value : kTooLarge;
        m_parse.state = kNumber;
        return true;
    }
    if (m_parse.state != kNumber) {
        WriteRawReference();  // "&#" or "&#x" without digits
        return false;
    }
    FinishNumber();
    return c == ';';
}

bool VisibleTextExtractor::TakeInName(char c)
{
    if (IsAlnum(c)) {
        if (m_parse.refLen < kReferenceSize) {
            AddToReference(c);
            return true;
        }
        WriteRawReference();  // too long for a name: plain text
        return false;
    }
    FinishName(c == ';');
    return c == ';';
}

void VisibleTextExtractor::FinishNumber()
{
    WriteCodePoint(ReadReferenceNumber(m_parse.refValue));
    m_parse.state = kText;
}

void VisibleTextExtractor::FinishName(bool semicolon)
{
    uint32_t cp = 0;
    if (FindNamedReference(m_parse.ref + 1, m_parse.refLen - 1, &cp)) {
        WriteCodePoint(cp);
        m_parse.state = kText;
        return;
    }
    WriteRawReference();
    if (semicolon)
        AddChar(';');
}

void VisibleTextExtractor::FinishReferenceAtEnd()
{
    if (m_parse.state == kNumber)
        FinishNumber();
    else if (m_parse.state == kName)
        FinishName(false);
    else
        WriteRawReference();
}

void VisibleTextExtractor::WriteRawReference()
{
    for (size_t i = 0; i < m_parse.refLen; ++i)
        AddChar(m_parse.ref[i]);
    m_parse.state = kText;
}

void VisibleTextExtractor::WriteCodePoint(uint32_t cp)
{
    if (cp == kNoBreakSpace || (cp < 0x80 && IsBlank(static_cast<char>(cp)))) {
        AddBlank();
        return;
    }
    char bytes[kMaxEncodedLength];
    size_t len = m_encoder.Encode(cp, bytes);
    if (len == 0) {
        WriteDecimalReference(cp);
        return;
    }
    for (size_t i = 0; i < len; ++i)
        AddChar(bytes[i]);
}

void VisibleTextExtractor::WriteDecimalReference(uint32_t cp)
{
    DecimalText number(static_cast<long>(cp));
    AddChar('&');
    AddChar('#');
    for (const char* p = number.c_str(); *p != '\0'; ++p)
        AddChar(*p);
    AddChar(';');
}

void VisibleTextExtractor::SwitchToAscii()
{
    if (m_parse.outDesignationLen == 0)
        return;
    Put('\x1B');
    Put('(');
    Put('B');
    m_parse.outDesignationLen = 0;
}

void VisibleTextExtractor::BeginText()
{
    if (m_parse.pendingSpace) {
        SwitchToAscii();
        Put(' ');
        m_parse.pendingSpace = false;
    }
    m_parse.lineHasText = true;
}

void VisibleTextExtractor::AddChar(char c)
{
    BeginText();
    SwitchToAscii();
    Put(c);
}

void VisibleTextExtractor::AddOpaque(char c)
{
    BeginText();
    size_t len = m_parse.shift.DesignationLength();
    if (len != m_parse.outDesignationLen || memcmp(m_parse.outDesignation, m_parse.shift.Designation(), len) != 0) {
        memcpy(m_parse.outDesignation, m_parse.shift.Designation(), len);
        m_parse.outDesignationLen = len;
        for (size_t i = 0; i < len; ++i)
            Put(m_parse.outDesignation[i]);
    }
    Put(c);
}

void VisibleTextExtractor::EndLine()
{
    if (m_parse.lineHasText) {
        SwitchToAscii();
        Put('\n');
    }
    m_parse.lineHasText = false;
    m_parse.pendingSpace = false;
}

bool VisibleTextFilter::Drain()
{
    if (!m_failed && m_extractor.OutputLength() > 0 && !m_out.Put(m_extractor.Output(), m_extractor.OutputLength()))
        m_failed = true;
    m_extractor.DropOutput(m_extractor.OutputLength());
    return !m_failed;
}

bool VisibleTextFilter::Put(const char* data, size_t len)
{
    while (len > 0) {
        size_t taken = m_extractor.Take(data, len);
        data += taken;
        len -= taken;
        if (len > 0)
            Drain();
    }
    return !m_failed;
}

bool VisibleTextFilter::Finish()
{
    Drain();
    m_extractor.Finish();
    return Drain();
}
