// ASCII letter case, for names that match without regard to it (schemes, profile keys, tags).
#pragma once
#include <stddef.h>

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
