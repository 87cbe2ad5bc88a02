#include "base/local_time.h"

#include <string.h>

namespace {

void FromTm(const struct tm& t, LocalTime* local)
{
    local->year = t.tm_year + 1900;
    local->month = t.tm_mon + 1;
    local->day = t.tm_mday;
    local->hour = t.tm_hour;
    local->minute = t.tm_min;
    local->second = t.tm_sec;
}

// Reads n digits at p into *value; false when any is missing.
bool ReadDigits(const char* p, size_t n, int* value)
{
    *value = 0;
    for (size_t i = 0; i < n; ++i) {
        if (p[i] < '0' || p[i] > '9')
            return false;
        *value = *value * 10 + (p[i] - '0');
    }
    return true;
}

bool InRange(int value, int low, int high) { return value >= low && value <= high; }

// Writes value as exactly n digits at p.
void WriteDigits(char* p, size_t n, int value)
{
    for (size_t i = n; i > 0; --i) {
        p[i - 1] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
}

// "YYYY/MM/DD hh:mm" and, with seconds, ":ss".
void Format(const LocalTime& local, bool seconds, char* dst, size_t size)
{
    size_t len = seconds ? 19 : 16;
    if (size == 0)
        return;
    dst[0] = '\0';
    if (!local.IsSet() || size <= len || !InRange(local.year, 1, 9999))
        return;
    char text[20] = "0000/00/00 00:00:00";
    WriteDigits(text, 4, local.year);
    WriteDigits(text + 5, 2, local.month);
    WriteDigits(text + 8, 2, local.day);
    WriteDigits(text + 11, 2, local.hour);
    WriteDigits(text + 14, 2, local.minute);
    WriteDigits(text + 17, 2, local.second);
    memcpy(dst, text, len);
    dst[len] = '\0';
}

}  // namespace

bool ToLocalTm(time_t t, struct tm* parts)
{
#ifdef _WIN32
    const struct tm* shared = localtime(&t);  // msvcrt keeps this per thread
    if (shared == nullptr)
        return false;
    *parts = *shared;
    return true;
#else
    return localtime_r(&t, parts) != nullptr;
#endif
}

bool ToLocalTime(time_t t, LocalTime* local)
{
    struct tm parts;
    if (!ToLocalTm(t, &parts))
        return false;
    FromTm(parts, local);
    return true;
}

bool NowLocal(LocalTime* local)
{
    return ToLocalTime(time(nullptr), local);
}

bool ToCalendarTime(const LocalTime& local, time_t* t)
{
    struct tm parts = {};
    parts.tm_year = local.year - 1900;
    parts.tm_mon = local.month - 1;
    parts.tm_mday = local.day;
    parts.tm_hour = local.hour;
    parts.tm_min = local.minute;
    parts.tm_sec = local.second;
    parts.tm_isdst = -1;
    *t = mktime(&parts);
    return *t != static_cast<time_t>(-1);
}

void FormatLocalTime(const LocalTime& local, char* dst, size_t size)
{
    Format(local, true, dst, size);
}

void FormatLocalMinute(const LocalTime& local, char* dst, size_t size)
{
    Format(local, false, dst, size);
}

bool ParseLocalTime(const char* text, LocalTime* local)
{
    LocalTime t;
    if (strlen(text) != 19 || text[4] != '/' || text[7] != '/' || text[10] != ' ' || text[13] != ':' ||
        text[16] != ':')
        return false;
    if (!ReadDigits(text, 4, &t.year) || !ReadDigits(text + 5, 2, &t.month) || !ReadDigits(text + 8, 2, &t.day) ||
        !ReadDigits(text + 11, 2, &t.hour) || !ReadDigits(text + 14, 2, &t.minute) ||
        !ReadDigits(text + 17, 2, &t.second))
        return false;
    if (!InRange(t.year, 1, 9999) || !InRange(t.month, 1, 12) || !InRange(t.day, 1, 31) || !InRange(t.hour, 0, 23) ||
        !InRange(t.minute, 0, 59) || !InRange(t.second, 0, 60))
        return false;
    *local = t;
    return true;
}
