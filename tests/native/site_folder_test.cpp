// Snapshot stamps in code-page-932 bytes.
#include <gtest/gtest.h>
#include <string.h>
#include <time.h>

#include <string>

#include "registry/site_folder.h"

namespace {

struct tm Moment(int year, int month, int day, int hour, int minute, int second)
{
    struct tm t = {};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

std::string Format(const struct tm& t)
{
    char stamp[kSnapshotStampSize];
    return FormatSnapshotStamp(stamp, sizeof(stamp), t);
}

TEST(SnapshotStamp, WritesEachFieldWithItsUnitCharacter)
{
    // 2001年09月09日09時09分09秒
    EXPECT_EQ(Format(Moment(2001, 9, 9, 9, 9, 9)),
              "2001\x94\x4E" "09\x8C\x8E" "09\x93\xFA" "09\x8E\x9E" "09\x95\xAA" "09\x95\x62");
    EXPECT_EQ(Format(Moment(2001, 9, 9, 9, 9, 9)).size(), 26u);
    // 2001年12月01日00時00分00秒
    EXPECT_EQ(Format(Moment(2001, 12, 1, 0, 0, 0)),
              "2001\x94\x4E" "12\x8C\x8E" "01\x93\xFA" "00\x8E\x9E" "00\x95\xAA" "00\x95\x62");
    EXPECT_EQ(Format(Moment(1999, 1, 31, 23, 59, 58)),
              "1999\x94\x4E" "01\x8C\x8E" "31\x93\xFA" "23\x8E\x9E" "59\x95\xAA" "58\x95\x62");
}

TEST(SnapshotStamp, YearIsWrittenInFull)
{
    EXPECT_EQ(Format(Moment(10000, 1, 1, 0, 0, 0)).substr(0, 7), "10000\x94\x4E");
    EXPECT_EQ(Format(Moment(987, 1, 1, 0, 0, 0)).substr(0, 5), "987\x94\x4E");
}

TEST(SnapshotStamp, TooSmallABufferIsLeftEmpty)
{
    char stamp[26];  // one byte short of 26 bytes and the terminating zero
    memset(stamp, 'x', sizeof(stamp));
    EXPECT_STREQ(FormatSnapshotStamp(stamp, sizeof(stamp), Moment(2001, 9, 9, 9, 9, 9)), "");
    char exact[27];
    EXPECT_EQ(strlen(FormatSnapshotStamp(exact, sizeof(exact), Moment(2001, 9, 9, 9, 9, 9))), 26u);
}

TEST(SnapshotStamp, CurrentStampIsTheLocalTime)
{
    // Stamp the time between two readings of the clock: it must match one of them.
    time_t before = time(nullptr);
    char stamp[kSnapshotStampSize];
    MakeSnapshotStamp(stamp, sizeof(stamp));
    time_t after = time(nullptr);
    struct tm t;
    bool matched = false;
    for (time_t moment = before; moment <= after; ++moment)
        matched = matched || Format(*localtime_r(&moment, &t)) == stamp;
    EXPECT_TRUE(matched) << stamp;
}

TEST(SiteFolder, EverySnapshotThatFitsHasAComparisonPageThatFits)
{
    const std::string name = Format(Moment(2026, 12, 9, 6, 30, 5)) + ".htm";
    for (size_t folderLength = 200; folderLength <= 228; ++folderLength) {
        std::string folder(folderLength, 's');
        char snapshot[kPathBufferSize];
        char page[kPathBufferSize];
        ASSERT_TRUE(MakeSnapshotPath(snapshot, folder.c_str(), name.c_str())) << folderLength;
        ASSERT_TRUE(MakeComparePagePath(page, folder.c_str(), name.c_str())) << folderLength;
        std::string expected = folderLength <= 220 ? name : "diff.htm";
        EXPECT_EQ(std::string(page), folder + SW_DIR_SEPARATOR "Compare" SW_DIR_SEPARATOR + expected) << folderLength;
    }
    std::string tooLong(229, 's');
    char snapshot[kPathBufferSize];
    EXPECT_FALSE(MakeSnapshotPath(snapshot, tooLong.c_str(), name.c_str()));
}

TEST(SiteFolder, SnapshotNamesReadBackIntoTheirFields)
{
    SnapshotTime t;
    ASSERT_TRUE(ParseSnapshotName((Format(Moment(2001, 9, 9, 9, 9, 9)) + ".HTM").c_str(), &t));
    EXPECT_STREQ(t.year, "2001");
    EXPECT_STREQ(t.second, "09");
    for (const std::string& bad : {Format(Moment(2001, 9, 9, 9, 9, 9)), Format(Moment(2001, 9, 9, 9, 9, 9)) + ".html",
                                   std::string("2001.htm"), std::string("new.htm")})
        EXPECT_FALSE(ParseSnapshotName(bad.c_str(), &t)) << bad;
}

}  // namespace
