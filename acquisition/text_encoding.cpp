#include "acquisition/text_encoding.h"

#include <string.h>

#include "acquisition/charset.h"
#include "base/ascii.h"
#include "base/cp932.h"

namespace {

const uint32_t kReplacement = 0xFFFD;

// The length of the UTF-8 sequence at data[i], 0 when none is there (a stray or overlong byte,
// a cut sequence, a surrogate or a value past U+10FFFF); its value in *cp.
size_t ReadUtf8(const unsigned char* data, size_t i, size_t len, uint32_t* cp)
{
    unsigned char c = data[i];
    if (c < 0x80) {
        *cp = c;
        return 1;
    }
    size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
    if (n == 0 || c >= 0xF8 || i + n > len)
        return 0;
    uint32_t value = c & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) {
        if ((data[i + k] & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (data[i + k] & 0x3F);
    }
    static const uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kLeast[n] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *cp = value;
    return n;
}

bool IsUtf8BeyondAscii(const char* data, size_t len)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    bool beyond = false;
    for (size_t i = 0; i < len;) {
        uint32_t cp;
        size_t n = ReadUtf8(bytes, i, len, &cp);
        if (n == 0)
            return false;
        beyond = beyond || n > 1;
        i += n;
    }
    return beyond;
}

uint16_t Unit(const unsigned char* p, bool bigEndian)
{
    return bigEndian ? static_cast<uint16_t>((p[0] << 8) | p[1]) : static_cast<uint16_t>((p[1] << 8) | p[0]);
}

// A markup reference at text[0, len): its code point, and its length in *refLen. 0 for none.
uint32_t ReadReference(const char* text, size_t len, size_t* refLen)
{
    static const struct {
        const char* name;
        uint32_t cp;
    } kNamed[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    for (const auto& named : kNamed) {
        size_t n = strlen(named.name);
        if (len >= n && memcmp(text, named.name, n) == 0) {
            *refLen = n;
            return named.cp;
        }
    }
    if (len < 4 || text[1] != '#')
        return 0;
    bool hex = text[2] == 'x' || text[2] == 'X';
    size_t i = hex ? 3 : 2;
    uint32_t cp = 0;
    size_t digits = 0;
    for (; i < len && digits < 8; ++i, ++digits) {
        char c = LowerAscii(text[i]);
        int value = IsAsciiDigit(c) ? c - '0' : (hex && c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
        if (value < 0)
            break;
        cp = cp * (hex ? 16 : 10) + static_cast<uint32_t>(value);
    }
    if (digits == 0 || i >= len || text[i] != ';' || cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    *refLen = i + 1;
    return cp;
}

// Writes the character (lengths bytes) or "?" into dst at *used, if it fits whole.
bool Put(const char* bytes, size_t n, char* dst, size_t size, size_t* used)
{
    if (*used + n >= size)
        return false;
    memcpy(dst + *used, bytes, n);
    *used += n;
    return true;
}

}  // namespace

TextEncoding DetectTextEncoding(const char* data, size_t len, size_t* markLength)
{
    const auto* b = reinterpret_cast<const unsigned char*>(data);
    *markLength = 0;
    if (len >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        *markLength = 3;
        return TextEncoding::kUtf8;
    }
    if (len >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        *markLength = 2;
        return TextEncoding::kUtf16Le;
    }
    if (len >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
        *markLength = 2;
        return TextEncoding::kUtf16Be;
    }
    return IsUtf8BeyondAscii(data, len) ? TextEncoding::kUtf8 : TextEncoding::kCp932;
}

bool Utf16ToUtf8(const char* data, size_t len, bool bigEndian, HeapBlock* out, size_t* outLen)
{
    const auto* b = reinterpret_cast<const unsigned char*>(data);
    *outLen = 0;
    if (!out->Reserve(len + len / 2 + 1))
        return false;
    for (size_t i = 0; i + 1 < len; i += 2) {
        uint32_t cp = Unit(b + i, bigEndian);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < len) {
            uint16_t low = Unit(b + i + 2, bigEndian);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (cp >= 0xD800 && cp <= 0xDFFF)
            cp = kReplacement;
        char bytes[kMaxEncodedLength];
        if (!out->Append(outLen, bytes, EncodeUtf8(cp, bytes)))
            return false;
    }
    return true;
}

size_t ConvertFieldToCp932(const char* field, size_t len, bool fromUtf8, bool references, char* dst, size_t size,
                           size_t* lacking)
{
    if (size == 0)
        return 0;
    CodePointEncoder encoder(kCharsetShiftJis);
    Cp932Decoder decoder;
    const auto* bytes = reinterpret_cast<const unsigned char*>(field);
    size_t used = 0;
    for (size_t i = 0; i < len;) {
        uint32_t cp = 0;
        size_t n = 0;
        if (references && field[i] == '&')
            cp = ReadReference(field + i, len - i, &n);
        if (n == 0 && fromUtf8) {
            n = ReadUtf8(bytes, i, len, &cp);
            if (n == 0) {  // a stray byte: one unknown character
                n = 1;
                cp = kReplacement;
            }
        }
        bool fits;
        if (n == 0) {  // a code-page-932 character as it stands, if the code page has it
            n = cp932::CharLength(field, i, len);
            bool known = bytes[i] < 0x80 || decoder.Decode(field + i, n) != 0;
            if (!known && lacking)
                ++*lacking;
            fits = Put(known ? field + i : "?", known ? n : 1, dst, size, &used);
        } else {
            char encoded[kMaxEncodedLength];
            size_t m = encoder.Encode(cp, encoded);
            if (m == 0 && lacking)
                ++*lacking;
            fits = m > 0 ? Put(encoded, m, dst, size, &used) : Put("?", 1, dst, size, &used);
        }
        if (!fits)
            break;
        i += n;
    }
    dst[used] = '\0';
    return used;
}

bool AppendCp932AsUtf8(const char* text, bool escape, HeapBlock* out, size_t* used)
{
    Cp932Decoder decoder;
    size_t len = strlen(text);
    for (size_t i = 0; i < len;) {
        size_t n = cp932::CharLength(text, i, len);
        unsigned char c = static_cast<unsigned char>(text[i]);
        const char* ref = nullptr;
        char control[8] = "&#00;";
        if (escape) {
            ref = c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '"' ? "&quot;" : nullptr;
            if (c < 0x20) {  // line ends and tabs survive in attribute values only as references
                control[2] = static_cast<char>('0' + c / 10);
                control[3] = static_cast<char>('0' + c % 10);
                ref = control;
            }
        }
        bool ok;
        if (ref) {
            ok = out->Append(used, ref, strlen(ref));
        } else if (c < 0x80) {
            ok = out->Append(used, text + i, 1);
        } else {
            uint32_t cp = decoder.Decode(text + i, n);
            char bytes[kMaxEncodedLength];
            ok = out->Append(used, bytes, EncodeUtf8(cp != 0 ? cp : kReplacement, bytes));
        }
        if (!ok)
            return false;
        i += n;
    }
    return true;
}
