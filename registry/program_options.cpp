#include "registry/program_options.h"

#include <string.h>

#include "base/ascii.h"
#include "base/cp932.h"
#include "base/text_join.h"
#include "registry/site_registry.h"

const char kOptionSection[] = "option";
const char kStartCheckingKey[] = "startcheck";
const char kStartHiddenKey[] = "starthidden";
const char kPassIntervalKey[] = "interval";
const int kPassIntervals[kPassIntervalCount] = {1, 5, 15, 30, 60};

namespace {

const char* const kPassIntervalTexts[kPassIntervalCount] = {"1", "5", "15", "30", "60"};

bool SameKey(const char* key, const char* name)
{
    size_t len = strlen(key);
    return len == strlen(name) && StartsWithIgnoringCase(key, len, name);
}

// The stored value without its quotes; a value longer than any written here comes out longer
// than every one of them too, so it matches none.
void ReadValue(const char* value, char (&dst)[8])
{
    CopyProfileValue(dst, sizeof dst, value);
}

// A switch: exactly "1" or "0"; anything else leaves the default.
void ReadFlag(const char* value, bool& flag)
{
    char text[8];
    ReadValue(value, text);
    if (strcmp(text, "1") == 0 || strcmp(text, "0") == 0)
        flag = text[0] == '1';
}

// A wait: exactly one of the numbers offered; anything else leaves the default.
void ReadPassInterval(const char* value, int& minutes)
{
    char text[8];
    ReadValue(value, text);
    for (int i = 0; i < kPassIntervalCount; ++i) {
        if (strcmp(text, kPassIntervalTexts[i]) == 0)
            minutes = kPassIntervals[i];
    }
}

// Steps over the blanks and the double quotes at both ends of text[0, *len).
const char* Unquote(const char* text, size_t* len)
{
    while (*len > 0 && (*text == ' ' || *text == '\t' || *text == '"')) {
        ++text;
        --*len;
    }
    while (*len > 0 && (text[*len - 1] == ' ' || text[*len - 1] == '\t' || text[*len - 1] == '"'))
        --*len;
    return text;
}

}  // namespace

ProgramOptions ParseProgramOptions(char* section, size_t length)
{
    ProgramOptions options;
    bool seen[3] = {};
    for (char* line = section; line < section + length && *line;) {
        char* next = line + strlen(line) + 1;  // before splitting shortens the line
        char* key;
        char* value;
        if (SplitProfileLine(line, &key, &value)) {
            if (SameKey(key, kStartCheckingKey) && !seen[0]) {
                seen[0] = true;
                ReadFlag(value, options.startChecking);
            } else if (SameKey(key, kStartHiddenKey) && !seen[1]) {
                seen[1] = true;
                ReadFlag(value, options.startHidden);
            } else if (SameKey(key, kPassIntervalKey) && !seen[2]) {
                seen[2] = true;
                ReadPassInterval(value, options.passMinutes);
            }
        }
        line = next;
    }
    return options;
}

const char* OptionFlagText(bool on)
{
    return on ? "1" : "0";
}

const char* PassIntervalText(int minutes)
{
    return kPassIntervalTexts[PassIntervalIndex(minutes)];
}

int PassIntervalIndex(int minutes)
{
    for (int i = 0; i < kPassIntervalCount; ++i) {
        if (kPassIntervals[i] == minutes)
            return i;
    }
    return 0;
}

bool MakeLogonCommand(char* dst, size_t size, const char* exePath)
{
    const char* pieces[] = {"\"", exePath, "\""};
    return JoinText(dst, size, pieces, 3);
}

bool LogonCommandNames(const char* command, const char* exePath)
{
    size_t commandLen = strlen(command);
    size_t pathLen = strlen(exePath);
    command = Unquote(command, &commandLen);
    if (commandLen != pathLen || pathLen == 0)
        return false;
    for (size_t i = 0; i < pathLen;) {
        size_t step = cp932::CharLength(exePath, i, pathLen);
        if (step == 2) {
            if (command[i] != exePath[i] || command[i + 1] != exePath[i + 1])
                return false;
        } else if (LowerAscii(command[i]) != LowerAscii(exePath[i])) {
            return false;
        }
        i += step;
    }
    return true;
}
