// Paths in fixed buffers of 260 bytes: at most 259 bytes of text, never stored cut short.
#pragma once
#include <stddef.h>

#include "base/text_join.h"

enum { kPathBufferSize = 260 };  // at most 259 bytes of text and a terminating zero

// Joins the path pieces into dst; false, dst left empty, when the path would not fit.
template <size_t K>
bool JoinPath(char (&dst)[kPathBufferSize], const char* const (&pieces)[K])
{
    return JoinText(dst, kPathBufferSize, pieces, K);
}

// The separator between a folder and a name: a backslash in the program, "/" natively (tests).
#ifdef _WIN32
#define SW_DIR_SEPARATOR "\\"
#else
#define SW_DIR_SEPARATOR "/"
#endif
