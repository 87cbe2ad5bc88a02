// Texts of files from elsewhere (site lists, bookmark files) read into the program's code page
// 932, and its texts written out as UTF-8: the encodings such files come in, told apart by their
// bytes, and fields converted one at a time with markup references resolved.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "base/heap_block.h"

enum class TextEncoding {
    kUtf8,
    kUtf16Le,
    kUtf16Be,
    kCp932,
};

// The encoding of a file's bytes: a byte-order mark decides (its length goes to *markLength);
// without one, text that is valid UTF-8 and holds bytes beyond ASCII is UTF-8, and anything else
// is code page 932.
TextEncoding DetectTextEncoding(const char* data, size_t len, size_t* markLength);

// UTF-16 (without its mark) as UTF-8 into out; a lone surrogate becomes U+FFFD. False when memory
// runs out.
bool Utf16ToUtf8(const char* data, size_t len, bool bigEndian, HeapBlock* out, size_t* outLen);

// Converts one field, in UTF-8 or code page 932 as the file was, into code page 932 in dst (size
// bytes): each character the code page lacks (or bytes that are no character of it) becomes "?"
// (counted in *lacking), and with
// references true the markup references &amp; &lt; &gt; &quot; &apos; &#N; &#xH; become their
// characters. The text is cut, on a character boundary, to what dst holds. Returns its length.
size_t ConvertFieldToCp932(const char* field, size_t len, bool fromUtf8, bool references, char* dst, size_t size,
                           size_t* lacking);

// Appends a code-page-932 text as UTF-8 to out (which grows as needed from *used), with & < > "
// and control characters written as references when escape is true; a character the code page
// cannot read becomes U+FFFD. False when memory runs out.
bool AppendCp932AsUtf8(const char* text, bool escape, HeapBlock* out, size_t* used);
