// Local date and time of day, as the calendar shows them, in the text form the program keeps in
// its files and shows: 2026/12/10 12:34:56.
#pragma once
#include <stddef.h>
#include <time.h>

struct LocalTime {
    int year = 0;  // 0: no time
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;

    bool IsSet() const { return year != 0; }
};

enum { kLocalTimeTextSize = 24 };  // "YYYY/MM/DD hh:mm:ss" of any year up to 9999 and its zero

// The local time of a calendar time, broken down by the platform (safe on any thread); false
// when it cannot convert it.
bool ToLocalTm(time_t t, struct tm* parts);
// The same as a LocalTime.
bool ToLocalTime(time_t t, LocalTime* local);
// The current local time.
bool NowLocal(LocalTime* local);
// The calendar time of a local time (the platform decides on daylight saving); false when it is
// not a time the platform can represent.
bool ToCalendarTime(const LocalTime& local, time_t* t);
// "2026/12/10 12:34:56" into dst; left empty when it does not fit or the time is not set.
void FormatLocalTime(const LocalTime& local, char* dst, size_t size);
// The same without the seconds: "2026/12/10 12:34".
void FormatLocalMinute(const LocalTime& local, char* dst, size_t size);
// Reads "YYYY/MM/DD hh:mm:ss" (a year of 4 digits, every field in its range) and nothing else.
bool ParseLocalTime(const char* text, LocalTime* local);
