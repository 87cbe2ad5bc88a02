#include "registry/site_folder.h"

#include <string.h>

#include "base/ascii.h"
#include "base/decimal.h"
#include "base/local_time.h"
#include "base/text_join.h"

namespace {

const char kSnapshotExtension[] = ".htm";
const char* const kSiteFileNames[] = {
    SW_DIR_SEPARATOR "NEW.TEMP",
    SW_DIR_SEPARATOR "Old.TEMP",
    SW_DIR_SEPARATOR "Copy.tmp",
    SW_DIR_SEPARATOR "Seen.TEMP",
    SW_DIR_SEPARATOR "Seen.tmp",
    SW_DIR_SEPARATOR "Compare",
    SW_DIR_SEPARATOR "Compare" SW_DIR_SEPARATOR "older.txt",
    SW_DIR_SEPARATOR "Compare" SW_DIR_SEPARATOR "newer.txt",
    SW_DIR_SEPARATOR "Check.TEMP",
    SW_DIR_SEPARATOR "Check.tmp",
};
static_assert(sizeof(kSiteFileNames) / sizeof(kSiteFileNames[0]) == static_cast<size_t>(SiteFile::kCheckTemp) + 1,
              "a name for every file");

// The unit characters of a stamp in code-page-932 bytes: 年 月 日 時 分 秒.
const char* const kUnits[] = {"\x94\x4E", "\x8C\x8E", "\x93\xFA", "\x8E\x9E", "\x95\xAA", "\x95\x62"};

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

// Reads n digits at *p into digits (n bytes and a terminating zero), moving *p past them. False
// when any is missing.
bool TakeDigits(const char** p, size_t n, char* digits)
{
    for (size_t i = 0; i < n; ++i) {
        char c = (*p)[i];
        if (c < '0' || c > '9')
            return false;
        digits[i] = c;
    }
    digits[n] = '\0';
    *p += n;
    return true;
}

// Moves *p past unit, the two bytes of a unit character, when they are there.
bool TakeUnit(const char** p, const char* unit)
{
    if ((*p)[0] != unit[0] || (*p)[1] != unit[1])  // unit[0] is never zero: no read past the end
        return false;
    *p += 2;
    return true;
}

// The year's digits (1 to 10) up to its unit character.
size_t YearLength(const char* p)
{
    size_t n = 0;
    while (n < 11 && p[n] >= '0' && p[n] <= '9')
        ++n;
    return n <= 10 ? n : 0;
}

}  // namespace

bool MakeSiteFilePath(char (&path)[kPathBufferSize], const char* siteFolder, SiteFile file)
{
    const char* pieces[] = {siteFolder, kSiteFileNames[static_cast<size_t>(file)]};
    return JoinPath(path, pieces);
}

bool MakeSiteFolderPath(char (&path)[kPathBufferSize], const char* dataFolder, const char* codeText)
{
    const char* pieces[] = {dataFolder, SW_DIR_SEPARATOR, codeText};
    return JoinPath(path, pieces);
}

bool MakeSnapshotPath(char (&path)[kPathBufferSize], const char* siteFolder, const char* snapshotName)
{
    const char* pieces[] = {siteFolder, SW_DIR_SEPARATOR, snapshotName};
    return JoinPath(path, pieces);
}

bool MakeSnapshotPattern(char (&path)[kPathBufferSize], const char* siteFolder)
{
    const char* pieces[] = {siteFolder, SW_DIR_SEPARATOR "*", kSnapshotExtension};
    return JoinPath(path, pieces);
}

bool MakeComparePagePath(char (&path)[kPathBufferSize], const char* siteFolder, const char* snapshotName)
{
    const char* folder = kSiteFileNames[static_cast<size_t>(SiteFile::kCompareFolder)];
    const char* pieces[] = {siteFolder, folder, SW_DIR_SEPARATOR, snapshotName};
    const char* shorter[] = {siteFolder, folder, SW_DIR_SEPARATOR "diff", kSnapshotExtension};
    return JoinPath(path, pieces) || JoinPath(path, shorter);
}

char* FormatSnapshotStamp(char* dst, size_t size, const struct tm& t)
{
    // Unsigned arithmetic keeps an absurd tm_year from overflowing; real years are far from it.
    DecimalText year(static_cast<long>(static_cast<unsigned long>(t.tm_year) + 1900u));
    TwoDigits month(t.tm_mon + 1), day(t.tm_mday), hour(t.tm_hour), minute(t.tm_min), second(t.tm_sec);
    const char* const pieces[] = {year,   kUnits[0], month,  kUnits[1], day,    kUnits[2],
                                  hour,   kUnits[3], minute, kUnits[4], second, kUnits[5]};
    JoinText(dst, size, pieces, sizeof(pieces) / sizeof(pieces[0]));  // leaves dst empty when too long
    return dst;
}

char* MakeSnapshotStamp(char* dst, size_t size)
{
    struct tm local;
    if (ToLocalTm(time(nullptr), &local))
        return FormatSnapshotStamp(dst, size, local);
    if (size > 0)
        dst[0] = '\0';
    return dst;
}

bool MakeSnapshotName(char (&name)[kPathBufferSize], const char* stamp)
{
    const char* pieces[] = {stamp, kSnapshotExtension};
    return JoinPath(name, pieces);
}

bool ParseSnapshotName(const char* name, SnapshotTime* time)
{
    char* fields[] = {time->month, time->day, time->hour, time->minute, time->second};
    const char* p = name;
    size_t year = YearLength(p);
    if (year == 0 || !TakeDigits(&p, year, time->year) || !TakeUnit(&p, kUnits[0]))
        return false;
    for (int field = 1; field < 6; ++field) {
        if (!TakeDigits(&p, 2, fields[field - 1]) || !TakeUnit(&p, kUnits[field]))
            return false;
    }
    return strlen(p) == 4 && StartsWithIgnoringCase(p, 4, kSnapshotExtension);
}
