// Code points written in Shift_JIS (CP932) and EUC-JP through iconv, for the native build.
#include "acquisition/charset.h"

#include <iconv.h>

namespace {

iconv_t Converter(intptr_t handle) { return reinterpret_cast<iconv_t>(handle); }

const char* TargetName(CharsetKind kind) { return kind == kCharsetEucJp ? "EUC-JP" : "CP932"; }

bool IsScalarValue(uint32_t cp) { return cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF); }

}  // namespace

size_t CodePointEncoder::EncodeWithPlatform(uint32_t cp, char* out)
{
    if (m_handle == kNotOpened) {
        iconv_t cd = iconv_open(TargetName(m_kind), "UTF-32LE");
        m_handle = cd == reinterpret_cast<iconv_t>(-1) ? kUnavailable : reinterpret_cast<intptr_t>(cd);
    }
    if (m_handle == kUnavailable || !IsScalarValue(cp))
        return 0;
    char in[4] = {static_cast<char>(cp), static_cast<char>(cp >> 8), static_cast<char>(cp >> 16), 0};
    char* inPtr = in;
    size_t inLeft = sizeof(in);
    char* outPtr = out;
    size_t outLeft = kMaxEncodedLength;
    size_t irreversible = iconv(Converter(m_handle), &inPtr, &inLeft, &outPtr, &outLeft);
    if (irreversible != 0 || inLeft != 0) {
        iconv(Converter(m_handle), nullptr, nullptr, nullptr, nullptr);  // back to the initial state
        return 0;  // no such character, or only a substitute for it
    }
    return kMaxEncodedLength - outLeft;
}

void CodePointEncoder::Close()
{
    if (m_handle != kNotOpened && m_handle != kUnavailable)
        iconv_close(Converter(m_handle));
    m_handle = kNotOpened;
}

uint32_t Cp932Decoder::Decode(const char* bytes, size_t len)
{
    if (m_handle == kNotOpened) {
        iconv_t cd = iconv_open("UTF-32LE", "CP932");
        m_handle = cd == reinterpret_cast<iconv_t>(-1) ? kUnavailable : reinterpret_cast<intptr_t>(cd);
    }
    if (m_handle == kUnavailable || len == 0 || len > 2)
        return 0;
    char in[2] = {bytes[0], len > 1 ? bytes[1] : '\0'};
    unsigned char out[8] = {};
    char* inPtr = in;
    size_t inLeft = len;
    char* outPtr = reinterpret_cast<char*>(out);
    size_t outLeft = sizeof(out);
    size_t done = iconv(Converter(m_handle), &inPtr, &inLeft, &outPtr, &outLeft);
    if (done == static_cast<size_t>(-1) || inLeft != 0 || sizeof(out) - outLeft != 4) {
        iconv(Converter(m_handle), nullptr, nullptr, nullptr, nullptr);
        return 0;
    }
    return static_cast<uint32_t>(out[0]) | (static_cast<uint32_t>(out[1]) << 8) | (static_cast<uint32_t>(out[2]) << 16);
}

void Cp932Decoder::Close()
{
    if (m_handle != kNotOpened && m_handle != kUnavailable)
        iconv_close(Converter(m_handle));
    m_handle = kNotOpened;
}
