// The charsets watched pages come in, as far as reading their text needs them: which family a
// page's bytes belong to, writing a Unicode code point in those bytes, and the shift state of
// ISO-2022-JP (the one family whose double-byte characters reuse ASCII bytes).
#pragma once
#include <stddef.h>
#include <stdint.h>

enum CharsetKind {
    kCharsetShiftJis,   // Shift_JIS, Windows-31J, code page 932: the program's own code page
    kCharsetEucJp,
    kCharsetUtf8,
    kCharsetIso2022Jp,
    kCharsetOther,      // assumed ASCII-compatible; only ASCII code points are written
};

enum { kMaxEncodedLength = 8 };  // bytes of one encoded code point, at most

// Writes a Unicode scalar value (no surrogate, at most 0x10FFFF) as UTF-8 into out
// (kMaxEncodedLength bytes). Returns the byte count, 0 for a value that is not a scalar value.
inline size_t EncodeUtf8(uint32_t cp, char* out)
{
    if (cp < 0x80) {
        out[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
        return 0;
    size_t len = cp < 0x10000 ? 3 : 4;
    for (size_t i = len - 1; i > 0; --i, cp >>= 6)
        out[i] = static_cast<char>(0x80 | (cp & 0x3F));
    out[0] = static_cast<char>((len == 3 ? 0xE0 : 0xF0) | cp);
    return len;
}

// Writes code points in one page's charset. ASCII and UTF-8 are written directly; Shift_JIS and
// EUC-JP go through the platform's converter (WideCharToMultiByte with code page 932 or 20932 in
// the program, iconv natively), opened on first use and closed by the destructor, with the last
// answers kept in a small cache (pages repeat the same few references). ISO-2022-JP and other
// charsets get ASCII only.
class CodePointEncoder {
public:
    explicit CodePointEncoder(CharsetKind kind) : m_kind(kind), m_handle(kNotOpened)
    {
        for (CachedCode& slot : m_cache)
            slot.cp = 0;  // never asked of the platform
    }
    ~CodePointEncoder() { Close(); }
    CodePointEncoder(const CodePointEncoder&) = delete;
    CodePointEncoder& operator=(const CodePointEncoder&) = delete;

    // Writes cp into out (kMaxEncodedLength bytes). Returns the byte count, or 0 when the charset
    // has no such character (the platform's converter is never allowed a look-alike).
    size_t Encode(uint32_t cp, char* out)
    {
        if (cp < 0x80) {
            out[0] = static_cast<char>(cp);
            return 1;
        }
        if (m_kind == kCharsetUtf8)
            return EncodeUtf8(cp, out);
        if (m_kind != kCharsetShiftJis && m_kind != kCharsetEucJp)
            return 0;
        CachedCode& slot = m_cache[cp % kCacheSlots];
        if (slot.cp != cp) {
            slot.len = static_cast<unsigned char>(EncodeWithPlatform(cp, slot.bytes));
            slot.cp = cp;
        }
        for (size_t i = 0; i < slot.len; ++i)
            out[i] = slot.bytes[i];
        return slot.len;
    }

private:
    enum { kCacheSlots = 16 };
    struct CachedCode {
        uint32_t cp;
        unsigned char len;
        char bytes[kMaxEncodedLength];
    };

    static const intptr_t kNotOpened = -2;
    static const intptr_t kUnavailable = -1;

    size_t EncodeWithPlatform(uint32_t cp, char* out);
    void Close();

    CharsetKind m_kind;
    intptr_t m_handle;  // the POSIX converter once opened; unused in the program
    CachedCode m_cache[kCacheSlots];
};

// Reads the characters of code page 932 as Unicode code points through the platform's converter
// (MultiByteToWideChar in the program, iconv natively), opened on first use and closed by the
// destructor.
class Cp932Decoder {
public:
    Cp932Decoder() : m_handle(kNotOpened) {}
    ~Cp932Decoder() { Close(); }
    Cp932Decoder(const Cp932Decoder&) = delete;
    Cp932Decoder& operator=(const Cp932Decoder&) = delete;

    // The code point of the one character bytes[0, len) (one or two bytes); 0 when the code page
    // has no such character.
    uint32_t Decode(const char* bytes, size_t len);

private:
    static const intptr_t kNotOpened = -2;
    static const intptr_t kUnavailable = -1;
    void Close();

    intptr_t m_handle;  // the POSIX converter once opened; unused in the program
};

// Follows the escape sequences of ISO-2022-JP byte by byte. While a double-byte set (or the
// half-width katakana set) is designated, the bytes 0x21-0x7E are parts of characters, not ASCII:
// they can equal "<" or "&" and must not be read as markup.
class Iso2022Shift {
public:
    enum Role { kAscii, kEscape, kOpaque };
    enum { kMaxDesignation = 4 };  // ESC and at most three more bytes

    Iso2022Shift() : m_escLen(0), m_designationLen(0) {}

    // What the byte is: a part of an escape sequence (taken here), a byte of a character of the
    // designated non-ASCII set, or an ordinary byte (ASCII, controls, anything else).
    Role Classify(unsigned char c)
    {
        if (m_escLen > 0 || c == 0x1B)
            return TakeEscapeByte(c) ? kEscape : kAscii;
        return (m_designationLen > 0 && c >= 0x21 && c <= 0x7E) ? kOpaque : kAscii;
    }
    // The escape sequence designating the current non-ASCII set; empty while ASCII is designated.
    const char* Designation() const { return m_designation; }
    size_t DesignationLength() const { return m_designationLen; }

private:
    // Takes c into the escape sequence under way. False when c breaks it off: the bytes taken so
    // far are dropped and c is an ordinary byte.
    bool TakeEscapeByte(unsigned char c)
    {
        if (m_escLen == 0 || (c >= 0x20 && c <= 0x2F && m_escLen < kMaxDesignation - 1)) {
            m_esc[m_escLen++] = static_cast<char>(c);
            return true;
        }
        size_t len = m_escLen;
        m_escLen = 0;
        if (c == 0x1B) {
            m_esc[m_escLen++] = static_cast<char>(c);  // starts over
            return true;
        }
        if (c < 0x30 || c > 0x7E)
            return false;
        m_esc[len++] = static_cast<char>(c);
        Designate(len);
        return true;
    }
    // Applies a complete sequence m_esc[0, len): only designations of G0 ("ESC ( F" a one-byte
    // set, "ESC $ F" and "ESC $ ( F" a double-byte set) change anything; JIS-Roman counts as ASCII.
    void Designate(size_t len)
    {
        char first = m_esc[1];
        bool g0 = (len == 3 && (first == '(' || first == '$')) || (len == 4 && first == '$' && m_esc[2] == '(');
        if (!g0)
            return;
        if (first == '(' && len == 3 && (m_esc[2] == 'B' || m_esc[2] == 'J')) {
            m_designationLen = 0;
            return;
        }
        for (size_t i = 0; i < len; ++i)
            m_designation[i] = m_esc[i];
        m_designationLen = len;
    }

    char m_esc[kMaxDesignation];
    size_t m_escLen;
    char m_designation[kMaxDesignation];
    size_t m_designationLen;
};
