#include "base/cp932.h"

#include <string.h>

namespace cp932 {

long FindChar(const char* s, size_t len, char c)
{
    for (size_t i = 0; i < len; i += CharLength(s, i, len)) {
        if (s[i] == c)
            return static_cast<long>(i);
    }
    return -1;
}

long FindLastChar(const char* s, size_t len, char c)
{
    long last = -1;
    for (size_t i = 0; i < len; i += CharLength(s, i, len)) {
        if (s[i] == c)
            last = static_cast<long>(i);
    }
    return last;
}

long FindText(const char* s, size_t len, const char* needle, size_t nlen)
{
    if (nlen == 0)
        return 0;
    for (size_t i = 0; i + nlen <= len; i += CharLength(s, i, len)) {
        if (s[i] == needle[0] && memcmp(s + i, needle, nlen) == 0)
            return static_cast<long>(i);
    }
    return -1;
}

// A lead byte standing last has no trail byte: the text ends before it.
static size_t VisibleLength(const char* s, size_t len)
{
    size_t i = 0;
    while (i < len) {
        if (IsLeadByte(static_cast<unsigned char>(s[i]))) {
            if (i + 1 >= len)
                return i;
            i += 2;
        } else {
            i += 1;
        }
    }
    return len;
}

int Compare(const char* a, size_t alen, const char* b, size_t blen)
{
    if (alen == blen && memcmp(a, b, alen) == 0)
        return 0;
    alen = VisibleLength(a, alen);
    blen = VisibleLength(b, blen);
    size_t n = alen < blen ? alen : blen;
    int r = memcmp(a, b, n);
    if (r != 0)
        return r;
    return alen < blen ? -1 : (alen > blen ? 1 : 0);
}

}  // namespace cp932
