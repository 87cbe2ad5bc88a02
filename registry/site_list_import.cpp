#include "registry/site_list_import.h"

#include <string.h>

#include "acquisition/text_encoding.h"
#include "acquisition/url.h"
#include "base/ascii.h"
#include "base/text_join.h"
#include "registry/setting_text.h"
#include "registry/site_registry.h"

const char* const kImportedSettingNames[kSettingCount] = {"compare", "interval", "from", "to", "ignore"};

namespace {

const size_t kSniffBytes = 4096;  // how far the content is looked at to tell the format
const size_t kMaxAttributes = 32; // attributes of one tag that are looked at
const size_t kSettingSize = 2048; // a setting's text, at most (longer ones are cut)
const char kSettingPrefix[] = "sitewake:";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

// Whether text[0, len) holds needle (small letters) in any letter case.
bool ContainsIgnoringCase(const char* text, size_t len, const char* needle)
{
    size_t n = strlen(needle);
    for (size_t i = 0; i + n <= len; ++i) {
        if (StartsWithIgnoringCase(text + i, len - i, needle))
            return true;
    }
    return false;
}

struct Span {
    const char* text;
    size_t len;
};

Span Trimmed(const char* text, size_t len)
{
    while (len > 0 && IsBlank(*text)) {
        ++text;
        --len;
    }
    while (len > 0 && IsBlank(text[len - 1]))
        --len;
    return {text, len};
}

// Whether a line of text[0, len) begins with the section's name, in any letter case: the file's
// own section, not a mention of it inside an entry.
bool HasSectionLine(const char* text, size_t len, const char* section)
{
    size_t n = strlen(section);
    for (size_t i = 0; i + n <= len; ++i) {
        if ((i == 0 || text[i - 1] == '\n' || text[i - 1] == '\r') && StartsWithIgnoringCase(text + i, len - i, section))
            return true;
    }
    return false;
}

// OPML and bookmark files begin with markup; a shortcut has its section on a line of its own.
// What an entry mentions (a URL or name holding "<opml" or "[InternetShortcut]") decides nothing.
SiteListFormat DetectFormat(const char* data, size_t len)
{
    size_t sniff = len < kSniffBytes ? len : kSniffBytes;
    Span start = Trimmed(data, sniff);
    if (start.len == 0 || start.text[0] != '<')
        return HasSectionLine(data, sniff, "[internetshortcut]") ? SiteListFormat::kInternetShortcut
                                                                 : SiteListFormat::kPlainList;
    if (ContainsIgnoringCase(data, sniff, "<opml"))
        return SiteListFormat::kOpml;
    if (ContainsIgnoringCase(data, sniff, "netscape-bookmark-file") ||
        (ContainsIgnoringCase(data, sniff, "<dl") && ContainsIgnoringCase(data, len, "<a ")))
        return SiteListFormat::kBookmarks;
    return SiteListFormat::kPlainList;
}

bool SpanIs(const Span& span, const char* word)
{
    return span.len == strlen(word) && StartsWithIgnoringCase(span.text, span.len, word);
}

// One tag of markup: its name, whether it closes, and its attributes.
struct Tag {
    Span name;
    bool closing;
    size_t attributeCount;
    Span attributeNames[kMaxAttributes];
    Span attributeValues[kMaxAttributes];

    // The value of the attribute of that name (small letters, any case in the file), or null.
    const Span* Attribute(const char* wanted) const
    {
        for (size_t i = 0; i < attributeCount; ++i) {
            if (SpanIs(attributeNames[i], wanted))
                return &attributeValues[i];
        }
        return nullptr;
    }
};

bool IsNameChar(char c) { return IsAsciiLetter(c) || IsAsciiDigit(c) || c == ':' || c == '-' || c == '_' || c == '.'; }

// Reads markup from data[*pos]: skips to the next tag, passing comments and declarations, and
// reads it into tag. False at the end of the text; *cut is set when a tag or comment runs to the
// end unclosed.
class TagScanner {
public:
    TagScanner(const char* data, size_t len) : m_data(data), m_len(len), m_pos(0) {}

    bool Next(Tag* tag, bool* cut);
    size_t Position() const { return m_pos; }
    // The text from the current position to the next "<" (the text after a tag).
    Span TextUntilTag() const
    {
        const char* lt = static_cast<const char*>(memchr(m_data + m_pos, '<', m_len - m_pos));
        return {m_data + m_pos, lt ? static_cast<size_t>(lt - (m_data + m_pos)) : m_len - m_pos};
    }

private:
    bool SkipPast(const char* end, bool* cut);
    void SkipBlanks()
    {
        while (m_pos < m_len && IsBlank(m_data[m_pos]))
            ++m_pos;
    }
    Span ReadName()
    {
        size_t start = m_pos;
        while (m_pos < m_len && IsNameChar(m_data[m_pos]))
            ++m_pos;
        return {m_data + start, m_pos - start};
    }
    bool ReadValue(Span* value);

    const char* m_data;
    size_t m_len;
    size_t m_pos;
};

bool TagScanner::SkipPast(const char* end, bool* cut)
{
    size_t n = strlen(end);
    for (size_t i = m_pos; i + n <= m_len; ++i) {
        if (memcmp(m_data + i, end, n) == 0) {
            m_pos = i + n;
            return true;
        }
    }
    m_pos = m_len;
    *cut = true;
    return false;
}

bool TagScanner::ReadValue(Span* value)
{
    if (m_pos < m_len && (m_data[m_pos] == '"' || m_data[m_pos] == '\'')) {
        char quote = m_data[m_pos++];
        const char* close = static_cast<const char*>(memchr(m_data + m_pos, quote, m_len - m_pos));
        if (!close)
            return false;
        *value = {m_data + m_pos, static_cast<size_t>(close - (m_data + m_pos))};
        m_pos = static_cast<size_t>(close - m_data) + 1;
        return true;
    }
    size_t start = m_pos;
    while (m_pos < m_len && !IsBlank(m_data[m_pos]) && m_data[m_pos] != '>')
        ++m_pos;
    *value = {m_data + start, m_pos - start};
    return true;
}

bool TagScanner::Next(Tag* tag, bool* cut)
{
    for (;;) {
        const char* lt = static_cast<const char*>(memchr(m_data + m_pos, '<', m_len - m_pos));
        if (!lt)
            return false;
        m_pos = static_cast<size_t>(lt - m_data) + 1;
        if (m_len - m_pos >= 3 && memcmp(m_data + m_pos, "!--", 3) == 0) {
            if (!SkipPast("-->", cut))
                return false;
            continue;
        }
        if (m_pos < m_len && (m_data[m_pos] == '!' || m_data[m_pos] == '?')) {
            if (!SkipPast(">", cut))
                return false;
            continue;
        }
        tag->closing = m_pos < m_len && m_data[m_pos] == '/';
        if (tag->closing)
            ++m_pos;
        tag->name = ReadName();
        if (tag->name.len == 0)
            continue;  // a "<" that begins no tag
        tag->attributeCount = 0;
        for (;;) {
            SkipBlanks();
            if (m_pos >= m_len) {
                *cut = true;
                return false;
            }
            if (m_data[m_pos] == '>' || m_data[m_pos] == '/') {
                ++m_pos;
                if (m_data[m_pos - 1] == '>')
                    return true;
                continue;
            }
            Span name = ReadName();
            if (name.len == 0) {
                ++m_pos;  // a byte no attribute begins with
                continue;
            }
            Span value = {"", 0};
            SkipBlanks();
            if (m_pos < m_len && m_data[m_pos] == '=') {
                ++m_pos;
                SkipBlanks();
                if (!ReadValue(&value)) {
                    *cut = true;
                    m_pos = m_len;
                    return false;
                }
            }
            if (tag->attributeCount < kMaxAttributes) {
                tag->attributeNames[tag->attributeCount] = name;
                tag->attributeValues[tag->attributeCount++] = value;
            }
        }
    }
}

// Whether a URL is one the program can fetch: a scheme of http:// or https:// or none, no blank
// or control character, and parts the fetch understands (a port from 1 to 65535...).
bool IsFetchableUrl(const char* url, size_t len)
{
    if (len == 0 || len >= kSiteUrlSize)
        return false;
    for (size_t i = 0; i < len; ++i) {
        unsigned char c = static_cast<unsigned char>(url[i]);
        if (c <= ' ' || c == 0x7F)
            return false;
    }
    bool http = StartsWithIgnoringCase(url, len, "http://") || StartsWithIgnoringCase(url, len, "https://");
    if (!http) {
        // "mailto:", "javascript:", "ftp://", "place:" and their kind: a scheme other than ours. A
        // colon followed by digits is a port.
        size_t i = 0;
        while (i < len && (IsAsciiLetter(url[i]) || IsAsciiDigit(url[i]) || url[i] == '+' || url[i] == '-' || url[i] == '.'))
            ++i;
        if (i > 0 && i < len && url[i] == ':' && IsAsciiLetter(url[0]) && !(i + 1 < len && IsAsciiDigit(url[i + 1])))
            return false;
    }
    char copy[kSiteUrlSize];
    memcpy(copy, url, len);
    copy[len] = '\0';
    Url parsed;
    return ParseUrl(copy, 80, &parsed);
}

}  // namespace

// Reads one file's text, in the encoding it was found in, into the import's sites.
class SiteListParser {
public:
    SiteListParser(SiteListImport& import, const char* data, size_t len) : m_import(import), m_data(data), m_len(len) {}

    void ReadPlainList();
    void ReadOpml();
    void ReadBookmarks();
    void ReadShortcut(const char* fallbackName);
    bool Cut() const { return m_cut; }

private:
    // Takes one entry; false once the file has more entries than are read (the rest is left).
    bool Take(Span name, Span url, const Span* settings, bool references);

    SiteListImport& m_import;
    const char* m_data;
    size_t m_len;
    bool m_cut = false;
};

bool SiteListParser::Take(Span name, Span url, const Span* settings, bool references)
{
    if (++m_import.m_found > kImportMaxEntries)
        return false;
    url = Trimmed(url.text, url.len);
    // Converted into room for more than a URL may hold, so that a longer one shows as such.
    char urlText[kSiteUrlSize * 2];
    size_t lacking = 0;
    size_t urlLen = ConvertFieldToCp932(url.text, url.len, m_import.m_fromUtf8, references, urlText, sizeof urlText,
                                        &lacking);
    if (lacking > 0 || !IsFetchableUrl(urlText, urlLen)) {
        ++m_import.m_unreadable;
        return true;
    }
    const char* texts[kSettingCount] = {};
    size_t lens[kSettingCount] = {};
    for (int i = 0; i < kSettingCount; ++i) {
        if (settings && settings[i].text) {
            texts[i] = settings[i].text;
            lens[i] = settings[i].len;
        }
    }
    if (!m_import.Add(name.text, name.len, urlText, urlLen, texts, lens, references))
        m_import.m_outOfMemory = true;
    return !m_import.m_outOfMemory;
}

void SiteListParser::ReadPlainList()
{
    for (size_t pos = 0; pos < m_len;) {
        const char* lf = static_cast<const char*>(memchr(m_data + pos, '\n', m_len - pos));
        size_t end = lf ? static_cast<size_t>(lf - m_data) : m_len;
        Span line = Trimmed(m_data + pos, end - pos);
        pos = end + 1;
        if (line.len == 0 || line.text[0] == '#')
            continue;
        const char* tab = static_cast<const char*>(memchr(line.text, '\t', line.len));
        Span name = {"", 0};
        Span url = line;
        if (tab) {
            name = Trimmed(line.text, static_cast<size_t>(tab - line.text));
            url = {tab + 1, line.len - static_cast<size_t>(tab + 1 - line.text)};
        }
        if (!Take(name, url, nullptr, false))
            return;
    }
}

void SiteListParser::ReadOpml()
{
    TagScanner scanner(m_data, m_len);
    Tag tag;
    while (scanner.Next(&tag, &m_cut)) {
        if (tag.closing || !SpanIs(tag.name, "outline"))
            continue;
        const Span* url = tag.Attribute("htmlurl");
        if (!url || url->len == 0)
            url = tag.Attribute("xmlurl");
        if (!url)
            continue;  // a folder of outlines
        const Span* name = tag.Attribute("text");
        if (!name || name->len == 0)
            name = tag.Attribute("title");
        Span settings[kSettingCount] = {};
        for (int i = 0; i < kSettingCount; ++i) {
            char attribute[32];
            const char* pieces[] = {kSettingPrefix, kImportedSettingNames[i]};
            const Span* value = JoinText(attribute, pieces) ? tag.Attribute(attribute) : nullptr;
            if (value)
                settings[i] = *value;
        }
        if (!Take(name ? *name : Span{"", 0}, *url, settings, true))
            return;
    }
    if (m_cut)
        ++m_import.m_unreadable;  // an entry cut off by the end of the file
}

void SiteListParser::ReadBookmarks()
{
    TagScanner scanner(m_data, m_len);
    Tag tag;
    while (scanner.Next(&tag, &m_cut)) {
        if (tag.closing || !SpanIs(tag.name, "a"))
            continue;
        const Span* href = tag.Attribute("href");
        if (!href)
            continue;  // an anchor that is no link
        if (!Take(scanner.TextUntilTag(), *href, nullptr, true))
            return;
    }
    if (m_cut)
        ++m_import.m_unreadable;
}

void SiteListParser::ReadShortcut(const char* fallbackName)
{
    bool inSection = false;
    for (size_t pos = 0; pos < m_len;) {
        const char* lf = static_cast<const char*>(memchr(m_data + pos, '\n', m_len - pos));
        size_t end = lf ? static_cast<size_t>(lf - m_data) : m_len;
        Span line = Trimmed(m_data + pos, end - pos);
        pos = end + 1;
        if (line.len > 0 && line.text[0] == '[') {
            inSection = SpanIs(line, "[internetshortcut]");
            continue;
        }
        if (inSection && StartsWithIgnoringCase(line.text, line.len, "url=")) {
            Take({fallbackName, strlen(fallbackName)}, {line.text + 4, line.len - 4}, nullptr, false);
            return;
        }
    }
    ++m_import.m_found;  // a shortcut without a URL
    ++m_import.m_unreadable;
}

// A range text whole, or none.
static void ReadImportedRangeText(const char* value, char (&text)[kRangeTextSize])
{
    if (value && !strpbrk(value, "\r\n"))
        CopyText(text, sizeof text, strlen(value) < sizeof text ? value : "");
}

void ReadImportedSettings(const ImportedSite& site, CompareMethod* method, SiteWatch* watch)
{
    *method = CompareMethod::kWholePage;
    *watch = SiteWatch();
    const char* compare = site.settings[kSettingCompare];
    size_t textLen = strlen(kCompareText);
    if (compare && strlen(compare) == textLen && StartsWithIgnoringCase(compare, textLen, kCompareText))
        *method = CompareMethod::kTextOnly;
    if (const char* interval = site.settings[kSettingInterval])
        watch->interval = ReadIntervalValue(interval);
    ReadImportedRangeText(site.settings[kSettingFrom], watch->part.from);
    ReadImportedRangeText(site.settings[kSettingTo], watch->part.to);
    if (const char* ignore = site.settings[kSettingIgnore])
        JoinIgnoreLines(ignore, watch->part.ignore, sizeof watch->part.ignore);
}

ImportedSite SiteListImport::Site(size_t i) const
{
    const Entry& entry = reinterpret_cast<const Entry*>(m_entries.Data())[i];
    ImportedSite site;
    site.name = m_text.Data() + entry.name;
    site.url = m_text.Data() + entry.url;
    for (int k = 0; k < kSettingCount; ++k)
        site.settings[k] = entry.settings[k] == kNone ? nullptr : m_text.Data() + entry.settings[k];
    return site;
}

bool SiteListImport::AddText(const char* text, size_t len, size_t* offset)
{
    size_t start = m_textUsed;
    if (!m_text.Reserve(start + len + 1) || !m_text.Append(&m_textUsed, text, len) || !m_text.Append(&m_textUsed, "", 1))
        return false;
    *offset = start;
    return true;
}

// A name as one line: control characters as blanks, runs of blanks as one, none at the ends.
static size_t OneLine(char* text, size_t len)
{
    size_t out = 0;
    bool blank = true;  // drops leading blanks
    for (size_t i = 0; i < len; ++i) {
        char c = static_cast<unsigned char>(text[i]) < 0x20 ? ' ' : text[i];
        if (c == ' ' && blank)
            continue;
        blank = c == ' ';
        text[out++] = c;
    }
    while (out > 0 && text[out - 1] == ' ')
        --out;
    text[out] = '\0';
    return out;
}

bool SiteListImport::Add(const char* name, size_t nameLen, const char* url, size_t urlLen,
                         const char* const* settings, const size_t* settingLens, bool references)
{
    if ((m_count + 1) * sizeof(Entry) > m_entries.Size() &&
        !m_entries.Resize((m_count < 64 ? 128 : m_count * 2) * sizeof(Entry)))
        return false;
    Entry entry;
    // The name is converted with room to spare, then made one line and cut to what a listed name
    // holds, on a character boundary.
    char wide[kSiteNameSize * 4];
    size_t converted = ConvertFieldToCp932(name, nameLen, m_fromUtf8, references, wide, sizeof wide, nullptr);
    converted = OneLine(wide, converted);
    char text[kSiteNameSize];
    size_t len = ConvertFieldToCp932(wide, converted, false, false, text, sizeof text, nullptr);
    while (len > 0 && text[len - 1] == ' ')  // a cut may end on a blank
        --len;
    if (len == 0)
        len = ConvertFieldToCp932(url, urlLen, false, false, text, sizeof text, nullptr);
    if (!AddText(text, len, &entry.name) || !AddText(url, urlLen, &entry.url))
        return false;
    for (int k = 0; k < kSettingCount; ++k) {
        entry.settings[k] = kNone;
        if (!settings[k])
            continue;
        HeapBlock value(kSettingSize);
        if (!value)
            return false;
        size_t valueLen = ConvertFieldToCp932(settings[k], settingLens[k], m_fromUtf8, references, value.Data(),
                                              kSettingSize, nullptr);
        if (!AddText(value.Data(), valueLen, &entry.settings[k]))
            return false;
    }
    reinterpret_cast<Entry*>(m_entries.Data())[m_count++] = entry;
    return true;
}

SiteListImport::Outcome SiteListImport::Read(const char* data, size_t len, const char* fallbackName)
{
    if (len > kImportMaxFileBytes)
        return kTooLarge;
    size_t mark = 0;
    TextEncoding encoding = DetectTextEncoding(data, len, &mark);
    HeapBlock utf8;
    if (encoding == TextEncoding::kUtf16Le || encoding == TextEncoding::kUtf16Be) {
        size_t utf8Len = 0;
        if (!Utf16ToUtf8(data + mark, len - mark, encoding == TextEncoding::kUtf16Be, &utf8, &utf8Len))
            return kOutOfMemory;
        data = utf8.Data();
        len = utf8Len;
        mark = 0;
    }
    data += mark;
    len -= mark;
    m_fromUtf8 = encoding != TextEncoding::kCp932;
    size_t countBefore = m_count;
    size_t textBefore = m_textUsed;
    size_t unreadableBefore = m_unreadable;
    m_found = 0;
    m_outOfMemory = false;
    m_format = DetectFormat(data, len);
    SiteListParser parser(*this, data, len);
    switch (m_format) {
    case SiteListFormat::kOpml: parser.ReadOpml(); break;
    case SiteListFormat::kBookmarks: parser.ReadBookmarks(); break;
    case SiteListFormat::kInternetShortcut: parser.ReadShortcut(fallbackName); break;
    default: parser.ReadPlainList(); break;
    }
    Outcome outcome = m_outOfMemory ? kOutOfMemory : m_found > kImportMaxEntries ? kTooManyEntries : kRead;
    if (outcome != kRead) {
        m_count = countBefore;
        m_textUsed = textBefore;
        m_unreadable = unreadableBefore;
    }
    return outcome;
}
