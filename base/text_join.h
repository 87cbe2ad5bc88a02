// Bounded joining of texts into fixed buffers: keys, codes, stamps, request items.
#pragma once
#include <stddef.h>

// Joins the pieces into dst (size bytes). When the whole text would not fit, dst is left empty
// and false is returned: a text is never stored cut short.
bool JoinText(char* dst, size_t size, const char* const* pieces, size_t count);

template <size_t N, size_t K>
bool JoinText(char (&dst)[N], const char* const (&pieces)[K])
{
    return JoinText(dst, N, pieces, K);
}

// Copies src into dst (size bytes), cut to size - 1 bytes and terminated. Returns the bytes stored.
size_t CopyText(char* dst, size_t size, const char* src);
