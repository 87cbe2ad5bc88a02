// Finding the charset a page declares: a byte order mark, then a scan for <meta> in the manner of
// browsers (comments skipped, other tags read attribute by attribute so that a quoted "<meta"
// inside them counts for nothing), then an XML declaration. Everything is bounded by the
// searched start of the page and by fixed buffers.
#include "acquisition/page_charset.h"

#include <string.h>

#include "acquisition/file_io.h"
#include "base/ascii.h"
#include "base/text_join.h"

namespace {

enum { kValueSize = 256 };  // an attribute value kept whole; a longer one is no declaration

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

bool EqualsIgnoringCase(const char* text, size_t len, const char* lower)
{
    return strlen(lower) == len && StartsWithIgnoringCase(text, len, lower);
}

// A text collected byte by byte into a fixed buffer; past its room it only remembers that.
struct BoundedText {
    char text[kValueSize];
    size_t len = 0;
    bool unusable = false;

    void Add(char c)
    {
        if (len < kValueSize)
            text[len++] = c;
        else
            unusable = true;
    }
};

// A read position in the searched start of a page.
class Cursor {
public:
    Cursor(const char* text, size_t len) : m_text(text), m_len(len), m_pos(0) {}

    bool AtEnd() const { return m_pos >= m_len; }
    char Peek() const { return m_text[m_pos]; }  // only when not AtEnd
    // The byte offset bytes on, or 0 beyond the end.
    char At(size_t offset) const { return offset < m_len - m_pos ? m_text[m_pos + offset] : '\0'; }
    void Advance(size_t count = 1) { m_pos = count < m_len - m_pos ? m_pos + count : m_len; }
    bool StartsWith(const char* lower) const { return StartsWithIgnoringCase(m_text + m_pos, m_len - m_pos, lower); }
    void SkipSpaces()
    {
        while (!AtEnd() && IsSpace(Peek()))
            Advance();
    }
    // Moves just past the next occurrence of lower (any letter case); false, at the end, when none.
    bool SkipPast(const char* lower)
    {
        size_t n = strlen(lower);
        for (; !AtEnd(); Advance()) {
            if (StartsWith(lower)) {
                Advance(n);
                return true;
            }
        }
        return false;
    }

private:
    const char* m_text;
    size_t m_len;
    size_t m_pos;
};

// Stores a declared name when it is one: blanks around it dropped, 1 to 40 safe bytes.
bool AcceptName(const char* text, size_t len, PageCharset* charset)
{
    while (len > 0 && IsSpace(*text)) {
        ++text;
        --len;
    }
    while (len > 0 && IsSpace(text[len - 1]))
        --len;
    if (!IsCharsetName(text, len))
        return false;
    memcpy(charset->name, text, len);
    charset->name[len] = '\0';
    if (StartsWithIgnoringCase(text, len, "utf-16") || StartsWithIgnoringCase(text, len, "unicode") ||
        EqualsIgnoringCase(text, len, "ucs-2"))
        CopyText(charset->name, sizeof(charset->name), "UTF-8");
    charset->kind = ClassifyCharsetName(charset->name);
    charset->declared = true;
    return true;
}

// Reads a value: quoted (up to the same quote, which must come) or bare (up to a blank or stop).
void ReadValue(Cursor& c, char stop, BoundedText* value)
{
    if (c.AtEnd())
        return;
    char quote = c.Peek();
    if (quote == '"' || quote == '\'') {
        for (c.Advance(); !c.AtEnd() && c.Peek() != quote; c.Advance())
            value->Add(c.Peek());
        value->unusable = value->unusable || c.AtEnd();  // a quote left open ends nothing
        c.Advance();
        return;
    }
    for (; !c.AtEnd() && !IsSpace(c.Peek()) && c.Peek() != stop; c.Advance())
        value->Add(c.Peek());
}

// Finds "keyword", blanks, "=", blanks and a value in text (as in content="text/html;
// charset=Shift_JIS" or an XML declaration's encoding), and stores the value when it is a name.
bool ReadKeywordValue(const char* text, size_t len, const char* keyword, PageCharset* charset)
{
    Cursor c(text, len);
    while (c.SkipPast(keyword)) {
        c.SkipSpaces();
        if (c.AtEnd() || c.Peek() != '=')
            continue;
        c.Advance();
        c.SkipSpaces();
        BoundedText value;
        ReadValue(c, ';', &value);
        return !value.unusable && AcceptName(value.text, value.len, charset);
    }
    return false;
}

// Reads the next attribute of a tag. False once the tag's ">" is taken or the text ends.
bool ReadAttribute(Cursor& c, BoundedText* name, BoundedText* value)
{
    while (!c.AtEnd() && (IsSpace(c.Peek()) || c.Peek() == '/'))
        c.Advance();
    if (c.AtEnd() || c.Peek() == '>') {
        c.Advance();
        return false;
    }
    do {  // the first byte belongs to the name whatever it is, even "="
        name->Add(LowerAscii(c.Peek()));
        c.Advance();
    } while (!c.AtEnd() && !IsSpace(c.Peek()) && c.Peek() != '=' && c.Peek() != '/' && c.Peek() != '>');
    c.SkipSpaces();
    if (c.AtEnd() || c.Peek() != '=')
        return true;
    c.Advance();
    c.SkipSpaces();
    ReadValue(c, '>', value);
    return true;
}

bool IsNamed(const BoundedText& name, const char* lower) { return EqualsIgnoringCase(name.text, name.len, lower); }

// Reads the attributes of a <meta> tag up to its ">" and stores the charset it declares, if any.
// The first of repeated attributes counts; a charset attribute outranks a Content-Type pragma.
bool ReadMeta(Cursor& c, PageCharset* charset)
{
    BoundedText declared, content;
    bool hasCharset = false, hasContent = false, isContentType = false;
    for (;;) {
        BoundedText name, value;
        if (!ReadAttribute(c, &name, &value))
            break;
        if (IsNamed(name, "charset") && !hasCharset) {
            declared = value;
            hasCharset = true;
        } else if (IsNamed(name, "content") && !hasContent) {
            content = value;
            hasContent = true;
        } else if (IsNamed(name, "http-equiv")) {
            isContentType = isContentType || EqualsIgnoringCase(value.text, value.len, "content-type");
        }
    }
    if (hasCharset)
        return !declared.unusable && AcceptName(declared.text, declared.len, charset);
    return isContentType && !content.unusable && ReadKeywordValue(content.text, content.len, "charset", charset);
}

// Skips a start or end tag with its attributes, the "<" or "</" under the cursor.
void SkipTag(Cursor& c)
{
    c.Advance(c.At(1) == '/' ? 2 : 1);
    while (!c.AtEnd() && !IsSpace(c.Peek()) && c.Peek() != '>')
        c.Advance();
    for (;;) {
        BoundedText name, value;
        if (!ReadAttribute(c, &name, &value))
            return;
    }
}

bool FindMeta(const char* head, size_t len, PageCharset* charset)
{
    Cursor c(head, len);
    while (!c.AtEnd()) {
        if (c.StartsWith("<!--")) {
            c.Advance(2);  // "<!-->" is a whole comment
            if (!c.SkipPast("-->"))
                return false;
        } else if (c.StartsWith("<meta") && (IsSpace(c.At(5)) || c.At(5) == '/')) {
            c.Advance(5);
            if (ReadMeta(c, charset))
                return true;
        } else if (c.Peek() == '<' && (IsAsciiLetter(c.At(1)) || (c.At(1) == '/' && IsAsciiLetter(c.At(2))))) {
            SkipTag(c);
        } else if (c.Peek() == '<' && (c.At(1) == '!' || c.At(1) == '/' || c.At(1) == '?')) {
            c.SkipPast(">");
        } else {
            c.Advance();
        }
    }
    return false;
}

bool ReadXmlDeclaration(const char* head, size_t len, PageCharset* charset)
{
    if (!StartsWithIgnoringCase(head, len, "<?xml"))
        return false;
    const char* end = static_cast<const char*>(memchr(head, '>', len));
    return end != nullptr && ReadKeywordValue(head, static_cast<size_t>(end - head), "encoding", charset);
}

void SetDefault(PageCharset* charset)
{
    CopyText(charset->name, sizeof(charset->name), "Shift_JIS");
    charset->kind = kCharsetShiftJis;
    charset->declared = false;
}

}  // namespace

bool IsCharsetName(const char* text, size_t len)
{
    if (len == 0 || len >= kCharsetNameSize)
        return false;
    for (size_t i = 0; i < len; ++i) {
        char c = text[i];
        if (!IsAsciiLetter(c) && !IsAsciiDigit(c) && c != '-' && c != '_' && c != '.' && c != ':')
            return false;
    }
    return true;
}

CharsetKind ClassifyCharsetName(const char* name)
{
    struct Known {
        const char* name;
        CharsetKind kind;
    };
    static const Known kKnown[] = {
        {"shift_jis", kCharsetShiftJis}, {"shift-jis", kCharsetShiftJis}, {"sjis", kCharsetShiftJis},
        {"x-sjis", kCharsetShiftJis}, {"ms_kanji", kCharsetShiftJis}, {"csshiftjis", kCharsetShiftJis},
        {"windows-31j", kCharsetShiftJis}, {"cswindows31j", kCharsetShiftJis}, {"ms932", kCharsetShiftJis},
        {"cp932", kCharsetShiftJis}, {"x-ms-cp932", kCharsetShiftJis}, {"sjis-win", kCharsetShiftJis},
        {"sjis-open", kCharsetShiftJis}, {"x-shift_jis", kCharsetShiftJis},
        {"euc-jp", kCharsetEucJp}, {"x-euc-jp", kCharsetEucJp}, {"eucjp", kCharsetEucJp},
        {"cseucpkdfmtjapanese", kCharsetEucJp}, {"ujis", kCharsetEucJp}, {"euc-jp-ms", kCharsetEucJp},
        {"eucjp-ms", kCharsetEucJp}, {"cp51932", kCharsetEucJp}, {"cp20932", kCharsetEucJp},
        {"utf-8", kCharsetUtf8}, {"utf8", kCharsetUtf8}, {"unicode-1-1-utf-8", kCharsetUtf8},
        {"unicode11utf8", kCharsetUtf8}, {"unicode20utf8", kCharsetUtf8}, {"x-unicode20utf8", kCharsetUtf8},
        {"iso-2022-jp", kCharsetIso2022Jp}, {"csiso2022jp", kCharsetIso2022Jp},
    };
    size_t len = strlen(name);
    for (const Known& known : kKnown) {
        if (EqualsIgnoringCase(name, len, known.name))
            return known.kind;
    }
    return kCharsetOther;
}

void SniffPageCharset(const char* page, size_t len, PageCharset* charset)
{
    SetDefault(charset);
    len = len < kCharsetSniffBytes ? len : kCharsetSniffBytes;
    if (len >= 3 && memcmp(page, "\xEF\xBB\xBF", 3) == 0) {
        CopyText(charset->name, sizeof(charset->name), "UTF-8");
        charset->kind = kCharsetUtf8;
        charset->declared = true;
        return;
    }
    if (!FindMeta(page, len, charset))
        ReadXmlDeclaration(page, len, charset);
}

void SniffFileCharset(const char* path, PageCharset* charset)
{
    char head[kCharsetSniffBytes];
    InputFile file;
    long got = file.Open(path) ? file.ReadFull(head, sizeof(head)) : -1;
    SniffPageCharset(head, got > 0 ? static_cast<size_t>(got) : 0, charset);
}
