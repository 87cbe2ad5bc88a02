// How far two byte runs agree from their start, at block speed.
#pragma once
#include <stddef.h>
#include <string.h>

// Length of the common prefix of a and b within their first len bytes.
inline size_t CommonPrefix(const char* a, const char* b, size_t len)
{
    if (memcmp(a, b, len) == 0)
        return len;
    enum { kStep = 256 };
    size_t i = 0;
    while (len - i > kStep && memcmp(a + i, b + i, kStep) == 0)
        i += kStep;
    while (a[i] == b[i])
        ++i;
    return i;
}
