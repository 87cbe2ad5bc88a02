#include "base/decimal.h"

#include <stdint.h>

DecimalText::DecimalText(long value)
{
    char digits[kDecimalTextSize];
    int n = 0;
    // Work in unsigned arithmetic so that the most negative value has a text too.
    uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    do {
        digits[n++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    int pos = 0;
    if (value < 0)
        m_sz[pos++] = '-';
    while (n > 0)
        m_sz[pos++] = digits[--n];
    m_sz[pos] = '\0';
}

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
