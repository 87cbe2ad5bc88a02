// Walking byte strings as characters of code page 932 (Shift_JIS).
// A match never begins on the second byte of a double-byte character.
#pragma once
#include <stddef.h>

namespace cp932 {

// Lead bytes of double-byte characters: 0x81-0x9F and 0xE0-0xFC.
inline bool IsLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Length in bytes of the character starting at s[i] within a text of len bytes:
// 2 for a lead byte followed by another byte, otherwise 1.
inline size_t CharLength(const char* s, size_t i, size_t len)
{
    return (IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < len) ? 2 : 1;
}

// First occurrence of the single-byte character c in s[0, len), or -1.
long FindChar(const char* s, size_t len, char c);
// Last occurrence of the single-byte character c in s[0, len), or -1.
long FindLastChar(const char* s, size_t len, char c);
// First occurrence of needle[0, nlen) in s[0, len) starting on a character boundary, or -1.
long FindText(const char* s, size_t len, const char* needle, size_t nlen);

// Compares two texts character by character: a double-byte character is one unit and a lead
// byte standing last counts as the end of its text. Returns <0, 0 or >0.
int Compare(const char* a, size_t alen, const char* b, size_t blen);

}  // namespace cp932
