// Code points written in Shift_JIS (code page 932) and EUC-JP (code page 20932) through
// WideCharToMultiByte, for the program. Best-fit look-alikes are refused: a character the code
// page lacks is reported as such.
#include "acquisition/charset.h"

#include <windows.h>

namespace {

// The UTF-16 form of cp in wide (2 units): the unit count, 0 for a value that is not a scalar value.
int ToUtf16(uint32_t cp, WCHAR* wide)
{
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    if (cp < 0x10000) {
        wide[0] = static_cast<WCHAR>(cp);
        return 1;
    }
    cp -= 0x10000;
    wide[0] = static_cast<WCHAR>(0xD800 + (cp >> 10));
    wide[1] = static_cast<WCHAR>(0xDC00 + (cp & 0x3FF));
    return 2;
}

}  // namespace

size_t CodePointEncoder::EncodeWithPlatform(uint32_t cp, char* out)
{
    WCHAR wide[2];
    int units = ToUtf16(cp, wide);
    if (units == 0)
        return 0;
    UINT codePage = m_kind == kCharsetEucJp ? 20932 : 932;
    BOOL usedDefault = FALSE;
    int len = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, units, out, kMaxEncodedLength, nullptr,
                                  &usedDefault);
    return (len <= 0 || usedDefault) ? 0 : static_cast<size_t>(len);
}

void CodePointEncoder::Close() { m_handle = kNotOpened; }

uint32_t Cp932Decoder::Decode(const char* bytes, size_t len)
{
    WCHAR wide[2];
    if (len == 0 || len > 2 ||
        MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(len), wide, 2) != 1)
        return 0;
    return wide[0];
}

void Cp932Decoder::Close() { m_handle = kNotOpened; }
