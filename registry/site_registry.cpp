#include "registry/site_registry.h"

#include <stdlib.h>
#include <string.h>

#include "base/ascii.h"
#include "base/decimal.h"
#include "base/path_join.h"
#include "registry/setting_text.h"

const char kNameKey[] = "name";
const char kUrlKey[] = "url";
const char kCodeKey[] = "code";
const char kDelKey[] = "del";
const char kCountKey[] = "count";
const char kCompareKey[] = "compare";
const char kCompareText[] = "text";
const char kIntervalKey[] = "interval";
const char kFromKey[] = "from";
const char kToKey[] = "to";
const char kIgnoreKey[] = "ignore";

namespace {

enum KeyKind { kName, kUrl, kCode, kDel, kCompare, kInterval, kFrom, kTo, kIgnore, kKindCount };
const char* const kPrefixes[kKindCount] = {kNameKey, kUrlKey,     kCodeKey, kDelKey,   kCompareKey,
                                           kIntervalKey, kFromKey, kToKey, kIgnoreKey};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Drops blanks at both ends of text, in place; returns the new start.
char* Trim(char* text)
{
    while (IsBlank(*text))
        ++text;
    size_t len = strlen(text);
    while (len > 0 && IsBlank(text[len - 1]))
        text[--len] = '\0';
    return text;
}

// The entry number spelt by digits[0, len) as the registry writes it: no sign, no leading zero.
bool ParseEntryNumber(const char* digits, size_t len, unsigned long* number)
{
    if (len == 0 || len > 10 || digits[0] == '0')
        return false;
    unsigned long long value = 0;
    for (size_t i = 0; i < len; ++i) {
        if (digits[i] < '0' || digits[i] > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(digits[i] - '0');
    }
    if (value > 2147483647ull)
        return false;
    *number = static_cast<unsigned long>(value);
    return true;
}

int CompareKeys(const void* a, const void* b)
{
    const auto* x = static_cast<const RegistryKey*>(a);
    const auto* y = static_cast<const RegistryKey*>(b);
    if (x->number != y->number)
        return x->number < y->number ? -1 : 1;
    if (x->kind != y->kind)
        return x->kind < y->kind ? -1 : 1;
    return x->order < y->order ? -1 : (x->order > y->order ? 1 : 0);
}

// The method a compare<n> value asks for: the text only for "text" in any letter case, quoted or
// not; the whole page for anything else (or no key).
CompareMethod ReadCompareMethod(const char* value)
{
    if (!value)
        return CompareMethod::kWholePage;
    char copy[8];  // room for a value one byte longer than "text", which is then not "text"
    CopyProfileValue(copy, sizeof copy, value);
    bool text = strlen(copy) == 4 && StartsWithIgnoringCase(copy, 4, kCompareText);
    return text ? CompareMethod::kTextOnly : CompareMethod::kWholePage;
}

// ---- A site's watch ----

// The value without its quotes into dst, whole; false (a value that cannot be read) when it does
// not fit.
bool UnquoteWhole(const char* value, char* dst, size_t size)
{
    CopyProfileValue(dst, size, value);
    size_t len = strlen(value);
    bool quoted = len >= 2 && (value[0] == '"' || value[0] == '\'') && value[len - 1] == value[0];
    return strlen(dst) == (quoted ? len - 2 : len);
}

// A range's text: the default (empty) for a value that cannot be read or holds a line end.
void ReadRangeText(const char* value, char (&text)[kRangeTextSize])
{
    char unquoted[EncodedSize(kRangeTextSize)];
    text[0] = '\0';
    if (value && UnquoteWhole(value, unquoted, sizeof unquoted) && DecodeSettingText(unquoted, text, sizeof text) &&
        strpbrk(text, "\r\n"))
        text[0] = '\0';
}

void ReadIgnoreTexts(const char* value, char (&texts)[kIgnoreTextsSize])
{
    char unquoted[EncodedSize(kIgnoreTextsSize)];
    char decoded[kIgnoreTextsSize];
    texts[0] = '\0';
    if (value && UnquoteWhole(value, unquoted, sizeof unquoted) && DecodeSettingText(unquoted, decoded, sizeof decoded))
        JoinIgnoreLines(decoded, texts, sizeof texts);
}

void ReadWatch(const char* const* values, SiteWatch& watch)
{
    char interval[16];
    watch.interval = values[kInterval] && UnquoteWhole(values[kInterval], interval, sizeof interval)
                         ? ReadIntervalValue(interval)
                         : 0;
    ReadRangeText(values[kFrom], watch.part.from);
    ReadRangeText(values[kTo], watch.part.to);
    ReadIgnoreTexts(values[kIgnore], watch.part.ignore);
}

}  // namespace

long ProfileValueToInt(const char* value, long def)
{
    if (!value || !*value)
        return def;
    char copy[32];
    CopyProfileValue(copy, sizeof copy, value);
    if (!copy[0])
        return def;
    return ParseLeadingDecimal(copy, nullptr);
}

void CopyProfileValue(char* dst, size_t size, const char* value)
{
    size_t len = strlen(value);
    if (len >= 2 && (value[0] == '"' || value[0] == '\'') && value[len - 1] == value[0]) {
        ++value;
        len -= 2;
    }
    if (size == 0)
        return;
    if (len > size - 1)
        len = size - 1;
    memcpy(dst, value, len);
    dst[len] = '\0';
}

SiteRegistry::~SiteRegistry()
{
    free(m_keys);
}

bool SiteRegistry::Parse(char* section, size_t length)
{
    free(m_keys);
    m_count = 0;
    m_countValue = nullptr;
    // Every line takes at least two bytes, so this is enough room for all of them.
    m_keys = static_cast<RegistryKey*>(malloc((length / 2 + 1) * sizeof(RegistryKey)));
    if (!m_keys)
        return false;
    for (char* line = section; line < section + length && *line;) {
        char* next = line + strlen(line) + 1;  // before trimming shortens the line
        AddLine(line);
        line = next;
    }
    qsort(m_keys, m_count, sizeof(RegistryKey), CompareKeys);
    return true;
}

bool SplitProfileLine(char* line, char** key, char** value)
{
    char* equals = strchr(line, '=');
    if (!equals)
        return false;
    *value = Trim(equals + 1);
    *equals = '\0';
    size_t end = strlen(line);  // trim the key's trailing blanks without moving the line
    while (end > 0 && IsBlank(line[end - 1]))
        line[--end] = '\0';
    while (IsBlank(*line))
        ++line;
    *key = line;
    return true;
}

void SiteRegistry::AddLine(char* line)
{
    char* key;
    char* value;
    if (!SplitProfileLine(line, &key, &value))
        return;
    size_t keyLen = strlen(key);
    if (keyLen == 5 && StartsWithIgnoringCase(key, keyLen, kCountKey)) {
        if (!m_countValue)
            m_countValue = value;
        return;
    }
    for (int kind = 0; kind < kKindCount; ++kind) {
        size_t prefixLen = strlen(kPrefixes[kind]);
        unsigned long number;
        if (StartsWithIgnoringCase(key, keyLen, kPrefixes[kind]) &&
            ParseEntryNumber(key + prefixLen, keyLen - prefixLen, &number)) {
            m_keys[m_count] = RegistryKey{number, kind, m_count, value};
            ++m_count;
            return;
        }
    }
}

bool SiteRegistry::FillSite(size_t first, size_t last, ListedSite& site) const
{
    const char* values[kKindCount] = {};
    for (size_t k = first; k < last; ++k) {
        if (!values[m_keys[k].kind])
            values[m_keys[k].kind] = m_keys[k].value;  // sorted by order: the first one wins
    }
    CopyProfileValue(site.name, sizeof site.name, values[kName] ? values[kName] : "");
    CopyProfileValue(site.url, sizeof site.url, values[kUrl] ? values[kUrl] : "");
    site.code = ProfileValueToInt(values[kCode], 0);
    site.method = ReadCompareMethod(values[kCompare]);
    ReadWatch(values, site.watch);
    return ProfileValueToInt(values[kDel], 0) == 1;
}

size_t SiteRegistry::EndOfEntry(size_t k) const
{
    size_t last = k;
    while (last < m_count && m_keys[last].number == m_keys[k].number)
        ++last;
    return last;
}

unsigned long SiteRegistry::FindLiveEntry(long code) const
{
    long count = ReadCount();
    if (count <= 0)
        return 0;
    ListedSite site;
    unsigned long next = 1;  // numbers without keys read as live entries of code 0
    for (size_t k = 0; k < m_count && m_keys[k].number <= static_cast<unsigned long>(count);) {
        if (code == 0 && next < m_keys[k].number)
            return next;
        size_t last = EndOfEntry(k);
        bool deleted = FillSite(k, last, site);
        if (!deleted && site.code == code)
            return m_keys[k].number;
        next = m_keys[k].number + 1;
        k = last;
    }
    return (code == 0 && next <= static_cast<unsigned long>(count)) ? next : 0;
}

bool SiteRegistry::HasCode(long code) const
{
    for (size_t k = 0; k < m_count; ++k) {
        if (m_keys[k].kind == kCode && ProfileValueToInt(m_keys[k].value, 0) == code)
            return true;
    }
    return false;
}

void SiteRegistry::ForEachCode(void (*visit)(void* context, long code), void* context) const
{
    for (size_t k = 0; k < m_count; ++k) {
        if (m_keys[k].kind == kCode)
            visit(context, ProfileValueToInt(m_keys[k].value, 0));
    }
}

size_t SiteRegistry::CountKey(const char* prefix, unsigned long number) const
{
    size_t count = 0;
    for (size_t k = 0; k < m_count; ++k) {
        if (m_keys[k].number == number && strcmp(kPrefixes[m_keys[k].kind], prefix) == 0)
            ++count;
    }
    return count;
}

unsigned long SiteRegistry::HighestNumber() const
{
    unsigned long highest = m_count > 0 ? m_keys[m_count - 1].number : 0;  // sorted by number
    long count = ReadCount();
    if (count > 0 && static_cast<unsigned long>(count) > highest)
        highest = static_cast<unsigned long>(count);
    return highest;
}

void SiteRegistry::ForEachListed(void (*visit)(void* context, const ListedSite& site), void* context) const
{
    long count = ReadCount();
    if (count <= 0)
        return;
    ListedSite site;
    ListedSite blank = {};
    unsigned long blanks = 0;
    unsigned long next = 1;  // the next entry number to list
    for (size_t k = 0; k < m_count;) {
        unsigned long number = m_keys[k].number;
        if (number > static_cast<unsigned long>(count))
            break;
        size_t last = EndOfEntry(k);
        // Numbers without any key list as empty entries, up to a bound.
        for (; next < number && blanks < kMaxBlankEntries; ++next, ++blanks)
            visit(context, blank);
        next = number + 1;
        if (!FillSite(k, last, site))
            visit(context, site);
        k = last;
    }
}
