// A text of the program's string table.
#pragma once
#include <windows.h>

// Loads string id into dst (size bytes), cut to fit; an empty text when there is none.
inline const char* LoadResourceText(UINT id, char* dst, int size)
{
    if (size <= 0)
        return dst;
    dst[0] = '\0';
    LoadStringA(GetModuleHandleA(nullptr), id, dst, size);
    return dst;
}
