// Decimal texts of integers, without leading zeros; a minus sign before negative values.
#pragma once
#include <stddef.h>
#include <stdint.h>

enum {
    kDecimalTextSize = 12,          // a 32-bit value: at most 11 characters and a terminating zero
    kUnsignedDecimalTextSize = 21,  // an unsigned 64-bit value: at most 20 digits and the zero
};

// The decimal text of a 32-bit value.
class DecimalText {
public:
    explicit DecimalText(long value);
    const char* c_str() const { return m_sz; }
    operator const char*() const { return m_sz; }

private:
    char m_sz[kDecimalTextSize];
};

// The decimal text of an unsigned 64-bit value (file sizes, line counts).
class UnsignedDecimalText {
public:
    explicit UnsignedDecimalText(uint64_t value);
    const char* c_str() const { return m_sz; }
    size_t Length() const { return m_length; }
    operator const char*() const { return m_sz; }

private:
    char m_sz[kUnsignedDecimalTextSize];
    size_t m_length;
};

inline DecimalText IntToString(long value) { return DecimalText(value); }

// Parses the decimal number at the start of text the way the profile reader does: leading blanks,
// an optional sign, then digits. Sets *ok to false when no digit follows.
long ParseLeadingDecimal(const char* text, bool* ok);
