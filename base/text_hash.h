// A 64-bit FNV-1a hash of code-page-932 texts in which ASCII letters count the same in either
// case (never the second byte of a double-byte character): one short name for a path however
// long, the same for every spelling of it that differs only in letter case.
#pragma once
#include <stddef.h>
#include <string.h>

#include "base/ascii.h"
#include "base/cp932.h"

class CaseFoldedHash {
public:
    enum { kHexSize = 17 };  // 16 hexadecimal digits and a terminating zero

    // Adds text to what was hashed so far; pieces added one after another hash as their join.
    void Add(const char* text)
    {
        size_t len = strlen(text);
        for (size_t i = 0; i < len;) {
            size_t step = cp932::CharLength(text, i, len);
            AddByte(step == 1 ? LowerAscii(text[i]) : text[i]);
            if (step == 2)
                AddByte(text[i + 1]);
            i += step;
        }
    }
    unsigned long long Value() const { return m_value; }
    // The value as 16 hexadecimal digits in small letters.
    void ToHex(char (&dst)[kHexSize]) const
    {
        static const char kDigits[] = "0123456789abcdef";
        for (int i = 0; i < 16; ++i)
            dst[i] = kDigits[(m_value >> (60 - 4 * i)) & 0xF];
        dst[16] = '\0';
    }

private:
    void AddByte(char c)
    {
        m_value ^= static_cast<unsigned char>(c);
        m_value *= 1099511628211ull;
    }
    unsigned long long m_value = 14695981039346656037ull;
};
