// The program's own options, kept in the registry file's section "option" (read and written by
// registry_file.h): whether acquisition starts by itself at start-up, whether the window then
// stays hidden in the notification area, and how long the worker waits between passes. A key
// that is missing, or holds anything but the values written here, reads as the default, which
// is how the program behaved before it had options. Window-free.
#pragma once
#include <stddef.h>

extern const char kOptionSection[];     // "option"
extern const char kStartCheckingKey[];  // "startcheck": 1 starts acquisition at start-up
extern const char kStartHiddenKey[];    // "starthidden": 1 keeps the window hidden meanwhile
extern const char kPassIntervalKey[];   // "interval": the minutes between passes

// The waits between passes offered, in minutes; the first is the default.
enum { kPassIntervalCount = 5 };
extern const int kPassIntervals[kPassIntervalCount];  // 1, 5, 15, 30, 60

struct ProgramOptions {
    bool startChecking = false;
    bool startHidden = false;  // acted on only together with startChecking
    int passMinutes = 1;       // one of kPassIntervals
};

inline bool operator==(const ProgramOptions& a, const ProgramOptions& b)
{
    return a.startChecking == b.startChecking && a.startHidden == b.startHidden && a.passMinutes == b.passMinutes;
}

// Reads the section, given as "key=value" lines each ended by a zero byte (trimmed in place).
// Keys match in any letter case, the first of repeated keys wins, a quoted value loses its
// quotes: as the profile reader reads them.
ProgramOptions ParseProgramOptions(char* section, size_t length);

// The texts stored for a switch and for a wait.
const char* OptionFlagText(bool on);  // "1" or "0"
const char* PassIntervalText(int minutes);  // "1", "5", "15", "30" or "60"
// The position of a wait in kPassIntervals; 0 (the default) for any other number.
int PassIntervalIndex(int minutes);

// The command that starts the program when the user logs on: the program's full path in
// double quotes. False, dst left empty, when it would not fit.
bool MakeLogonCommand(char* dst, size_t size, const char* exePath);
// Whether a logon command names the program at exePath: the command without blanks and double
// quotes around it, compared with the path without regard to the case of ASCII letters (never
// the second byte of a double-byte character).
bool LogonCommandNames(const char* command, const char* exePath);
