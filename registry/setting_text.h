// The texts of a site's settings as values of the registry file. The profile reader drops blanks
// at both ends of a value and a pair of quotes around it, a value ends at its line, and the
// platform turns each value into Unicode and back; so a byte it would change is written as "%XX"
// (two hex digits), and "%" itself as "%25":
//  - anywhere: "%", control bytes (line ends, tab, 0x1A...), 0x7F, and bytes that are no
//    code-page-932 character (0x80, 0xA0, 0xFD-0xFF, a lead byte without its trail byte);
//  - first or last: a blank (space, or the lead byte of the full-width space); first: a quote.
// Every other byte, Japanese text included, is written as it is, so the file stays readable.
#pragma once
#include <stddef.h>

// The longest value a text of n bytes is written as: every byte escaped.
inline constexpr size_t EncodedSize(size_t n) { return 3 * n + 1; }

// Writes the stored form of text into dst (size bytes). False, dst empty, when it does not fit.
bool EncodeSettingText(const char* text, char* dst, size_t size);
// The text of a stored value into dst (size bytes). False, dst empty, for a value no text is
// written as: a "%" without two hex digits after it, an escaped zero byte, or a text of size
// bytes or more.
bool DecodeSettingText(const char* value, char* dst, size_t size);

// The ignored texts as the settings keep them, from lines as typed: lines end at CR, LF or CR LF;
// a line that is empty or all blanks is dropped; the others are kept exactly, joined by LF.
// False, dst empty, when they do not fit in size bytes.
bool JoinIgnoreLines(const char* lines, char* dst, size_t size);

// The interval a stored value (its quotes already dropped) names: decimal digits and nothing else
// giving one of kCheckIntervals; 0 (every pass) for anything else.
unsigned long ReadIntervalValue(const char* value);
