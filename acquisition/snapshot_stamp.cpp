#include "acquisition/snapshot_stamp.h"

#include <string.h>

#include "base/decimal.h"
#include "base/text_join.h"

namespace {

// Unit characters in code-page-932 bytes: 年 月 日 時 分 秒.
const char kYear[] = "\x94\x4E";
const char kMonth[] = "\x8C\x8E";
const char kDay[] = "\x93\xFA";
const char kHour[] = "\x8E\x9E";
const char kMinute[] = "\x95\xAA";
const char kSecond[] = "\x95\x62";

// A number of at least two digits ("09"), the way the stamp shows each field after the year.
class TwoDigits {
public:
    explicit TwoDigits(int value)
    {
        if (value >= 0 && value < 10) {
            m_text[0] = '0';
            m_text[1] = static_cast<char>('0' + value);
            m_text[2] = '\0';
        } else {
            DecimalText text(value);
            memcpy(m_text, text.c_str(), strlen(text.c_str()) + 1);
        }
    }
    operator const char*() const { return m_text; }

private:
    char m_text[kDecimalTextSize];
};

}  // namespace

char* FormatSnapshotStamp(char* dst, size_t size, const struct tm& t)
{
    // Unsigned arithmetic keeps an absurd tm_year from overflowing; real years are far from it.
    DecimalText year(static_cast<long>(static_cast<unsigned long>(t.tm_year) + 1900u));
    TwoDigits month(t.tm_mon + 1), day(t.tm_mday), hour(t.tm_hour), minute(t.tm_min), second(t.tm_sec);
    const char* const pieces[] = {year, kYear, month, kMonth, day, kDay, hour, kHour, minute, kMinute, second, kSecond};
    JoinText(dst, size, pieces, sizeof(pieces) / sizeof(pieces[0]));  // leaves dst empty when too long
    return dst;
}

char* MakeSnapshotStamp(char* dst, size_t size)
{
    time_t now = time(nullptr);
    struct tm local;
#ifdef _WIN32
    const struct tm* shared = localtime(&now);  // msvcrt keeps this per thread
    if (shared == nullptr) {
        if (size > 0)
            dst[0] = '\0';
        return dst;
    }
    local = *shared;
#else
    if (localtime_r(&now, &local) == nullptr) {
        if (size > 0)
            dst[0] = '\0';
        return dst;
    }
#endif
    return FormatSnapshotStamp(dst, size, local);
}
