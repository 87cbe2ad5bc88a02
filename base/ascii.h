// ASCII letters, digits and letter case, for names that match without regard to it (schemes,
// profile keys, tags, charset names). Bytes past 0x7F are never letters or digits here.
#pragma once
#include <stddef.h>

inline bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

inline bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

inline char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether text[0, len) begins with prefix, a text in small letters, in any letter case.
inline bool StartsWithIgnoringCase(const char* text, size_t len, const char* prefix)
{
    size_t i = 0;
    for (; prefix[i] != '\0'; ++i) {
        if (i >= len || LowerAscii(text[i]) != prefix[i])
            return false;
    }
    return true;
}
