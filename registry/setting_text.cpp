#include "registry/setting_text.h"

#include <string.h>

#include "base/cp932.h"
#include "base/text_join.h"
#include "registry/site_settings.h"

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

bool IsTrailByte(unsigned char c)
{
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

// Bytes that stand for no character of code page 932 on their own.
bool IsNoCharacter(unsigned char c)
{
    return c == 0x80 || c == 0xA0 || c >= 0xFD;
}

bool IsBlankCharacter(const char* s, size_t i, size_t len)
{
    return s[i] == ' ' || s[i] == '\t' ||
           (i + 1 < len && static_cast<unsigned char>(s[i]) == 0x81 && s[i + 1] == 0x40);  // "　"
}

// Whether the single byte at text[i] must be escaped.
bool MustEscape(unsigned char c, size_t i, size_t len)
{
    if (c == '%' || c < 0x20 || c == 0x7F || IsNoCharacter(c) || cp932::IsLeadByte(c))
        return true;  // a lead byte reaches here only without its trail byte
    bool first = i == 0;
    bool last = i + 1 == len;
    return (c == ' ' && (first || last)) || ((c == '"' || c == '\'') && first);
}

void AppendEscape(TextBuilder& out, unsigned char c)
{
    char escape[3] = {'%', kHexDigits[c >> 4], kHexDigits[c & 15]};
    out.Append(escape, 3);
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

}  // namespace

bool EncodeSettingText(const char* text, char* dst, size_t size)
{
    TextBuilder out(dst, size);
    size_t len = strlen(text);
    for (size_t i = 0; i < len;) {
        auto c = static_cast<unsigned char>(text[i]);
        if (cp932::IsLeadByte(c) && i + 1 < len && IsTrailByte(static_cast<unsigned char>(text[i + 1]))) {
            // A double-byte character is written as it is, but a full-width space at either end
            // gets its lead byte escaped, so that the value neither starts nor ends with a blank.
            bool blankAtEnd = c == 0x81 && text[i + 1] == 0x40 && (i == 0 || i + 2 == len);
            if (blankAtEnd)
                AppendEscape(out, c);
            else
                out.Append(text + i, 1);
            out.Append(text + i + 1, 1);
            i += 2;
            continue;
        }
        if (MustEscape(c, i, len))
            AppendEscape(out, c);
        else
            out.Append(text + i, 1);
        ++i;
    }
    return out.Ok();
}

bool DecodeSettingText(const char* value, char* dst, size_t size)
{
    TextBuilder out(dst, size);
    for (const char* p = value; *p != '\0' && out.Ok();) {
        if (*p != '%') {
            const char* escape = strchr(p, '%');
            size_t run = escape ? static_cast<size_t>(escape - p) : strlen(p);
            out.Append(p, run);
            p += run;
            continue;
        }
        int high = HexValue(p[1]);
        int low = high < 0 ? -1 : HexValue(p[2]);
        if (low < 0 || (high == 0 && low == 0)) {
            if (size > 0)
                dst[0] = '\0';
            return false;
        }
        char byte = static_cast<char>(high * 16 + low);
        out.Append(&byte, 1);
        p += 3;
    }
    return out.Ok();
}

bool JoinIgnoreLines(const char* lines, char* dst, size_t size)
{
    TextBuilder out(dst, size);
    for (const char* line = lines; *line != '\0';) {
        size_t len = strcspn(line, "\r\n");
        bool blank = true;
        for (size_t i = 0; i < len && blank; i += cp932::CharLength(line, i, len))
            blank = IsBlankCharacter(line, i, len);
        if (!blank) {
            if (out.Length() > 0)
                out.Append("\n");
            out.Append(line, len);
        }
        line += len;
        if (*line == '\r')
            ++line;
        if (*line == '\n')
            ++line;
    }
    return out.Ok();
}

unsigned long ReadIntervalValue(const char* value)
{
    size_t len = strlen(value);
    if (len == 0 || len > 6 || strspn(value, "0123456789") != len)
        return 0;
    unsigned long minutes = 0;
    for (size_t i = 0; i < len; ++i)
        minutes = minutes * 10 + static_cast<unsigned long>(value[i] - '0');
    for (unsigned long offered : kCheckIntervals) {
        if (minutes == offered)
            return minutes;
    }
    return 0;
}
