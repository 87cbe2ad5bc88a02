// The charset a page declares for itself near its start: which bytes its text is in, and a name
// safe to repeat in a page of our own.
#pragma once
#include <stddef.h>

#include "acquisition/charset.h"

enum {
    kCharsetNameSize = 41,      // at most 40 bytes of name and a terminating zero
    kCharsetSniffBytes = 4096,  // only this much of a page's start is searched
};

struct PageCharset {
    char name[kCharsetNameSize];  // never empty; letters, digits and "-_.:" only
    CharsetKind kind;
    bool declared;  // false when nothing usable was found: then Shift_JIS, the program's own
};

// Whether text[0, len) may be a charset name repeated in a page of our own: 1 to 40 bytes, each
// an ASCII letter, a digit or one of "-_.:", so that it can never end an attribute or a tag.
bool IsCharsetName(const char* text, size_t len);

// Finds the charset declared in the first kCharsetSniffBytes of page[0, len): a UTF-8 byte order
// mark; else the first <meta charset=...> or <meta http-equiv="Content-Type" content="...;
// charset=..."> outside comments (any letter case, quoted or not); else the encoding of an XML
// declaration. A declared name that is empty, longer than 40 bytes or holds any other byte is no
// declaration and the search goes on. UTF-16 names count as UTF-8 (a page whose markup reads as
// ASCII is not UTF-16), as browsers take them.
void SniffPageCharset(const char* page, size_t len, PageCharset* charset);

// The same for the start of a page file; a file that cannot be read gives the default.
void SniffFileCharset(const char* path, PageCharset* charset);

// The family of a charset name, without regard to letter case: Shift_JIS with its aliases and
// Windows-31J/MS932/CP932, EUC-JP, UTF-8, ISO-2022-JP, or other.
CharsetKind ClassifyCharsetName(const char* name);
