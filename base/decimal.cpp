#include "base/decimal.h"

namespace {

// Writes the digits of value and a terminating zero at dst (room for 21 bytes); the digit count.
size_t WriteDigits(uint64_t value, char* dst)
{
    char digits[kUnsignedDecimalTextSize];
    size_t n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (size_t i = 0; i < n; ++i)
        dst[i] = digits[n - 1 - i];
    dst[n] = '\0';
    return n;
}

}  // namespace

DecimalText::DecimalText(long value)
{
    // Work in unsigned arithmetic so that the most negative value has a text too.
    uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    char* dst = m_sz;
    if (value < 0)
        *dst++ = '-';
    WriteDigits(magnitude, dst);
}

UnsignedDecimalText::UnsignedDecimalText(uint64_t value) : m_length(WriteDigits(value, m_sz)) {}

long ParseLeadingDecimal(const char* text, bool* ok)
{
    const char* p = text;
    while (*p == ' ' || *p == '\t')
        ++p;
    bool negative = false;
    if (*p == '-' || *p == '+')
        negative = (*p++ == '-');
    uint32_t value = 0;
    bool any = false;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10u + static_cast<uint32_t>(*p - '0');  // wraps like a 32-bit reader
        any = true;
    }
    if (ok)
        *ok = any;
    return static_cast<long>(static_cast<int32_t>(negative ? 0u - value : value));
}
