// Bounded joining of path pieces into fixed buffers.
#pragma once
#include <stddef.h>

enum { kPathBufferSize = 260 };  // at most 259 bytes of text and a terminating zero

// Joins the pieces into dst (size bytes). When the whole text would not fit, dst is left empty
// and false is returned: a path is never stored cut short.
bool JoinPath(char* dst, size_t size, const char* const* pieces, size_t count);

template <size_t N, size_t K>
bool JoinPath(char (&dst)[N], const char* const (&pieces)[K])
{
    return JoinPath(dst, N, pieces, K);
}

// Copies src into dst (size bytes), cut to size - 1 bytes and terminated. Returns the bytes stored.
size_t CopyText(char* dst, size_t size, const char* src);
