// The record of a site's last check on real files: written and read back, counted across checks,
// and every damaged record read as "not checked yet".
#include <gtest/gtest.h>

#include <string>

#include "acquisition/check_record.h"
#include "registry/site_folder.h"
#include "support.h"

namespace {

LocalTime At(int year, int month, int day, int hour, int minute, int second)
{
    LocalTime t;
    t.year = year;
    t.month = month;
    t.day = day;
    t.hour = hour;
    t.minute = minute;
    t.second = second;
    return t;
}

FetchResult Failed(FetchFailure failure, int status = 0)
{
    FetchResult result;
    result.failure = failure;
    result.status = status;
    return result;
}

std::string RecordPath(const TempDir& dir)
{
    char path[kPathBufferSize];
    MakeSiteFilePath(path, dir.Path().c_str(), SiteFile::kCheckRecord);
    return path;
}

TEST(CheckRecordTest, ChecksInARowAreCountedAndTheLastSuccessKept)
{
    CheckRecord none;
    FetchResult ok;
    ok.status = 200;
    CheckRecord first = NextCheckRecord(none, CheckOutcome::kFirstCopy, ok, At(2026, 12, 10, 9, 0, 0));
    EXPECT_EQ(first.failuresInRow, 0u);
    EXPECT_EQ(first.lastSuccess.hour, 9);

    CheckRecord a = NextCheckRecord(first, CheckOutcome::kFailed, Failed(FetchFailure::kRefused), At(2026, 12, 10, 10, 0, 0));
    CheckRecord b = NextCheckRecord(a, CheckOutcome::kFailed, Failed(FetchFailure::kServerError, 503), At(2026, 12, 10, 11, 0, 0));
    CheckRecord c = NextCheckRecord(b, CheckOutcome::kFailed, Failed(FetchFailure::kNoAnswer), At(2026, 12, 10, 12, 0, 0));
    EXPECT_EQ(c.failuresInRow, 3u);
    EXPECT_EQ(c.failure, FetchFailure::kNoAnswer);
    EXPECT_EQ(b.status, 503);
    EXPECT_EQ(c.checked.hour, 12);
    EXPECT_EQ(c.lastSuccess.hour, 9) << "a failure keeps the time of the last success";

    CheckRecord again = NextCheckRecord(c, CheckOutcome::kUnchanged, ok, At(2026, 12, 10, 13, 0, 0));
    EXPECT_EQ(again.failuresInRow, 0u);
    EXPECT_EQ(again.failure, FetchFailure::kNone);
    EXPECT_EQ(again.lastSuccess.hour, 13);
}

TEST(CheckRecordTest, WrittenRecordsReadBackWholeThroughTheSiteFolder)
{
    TempDir dir;
    CheckRecord missing;
    EXPECT_FALSE(ReadCheckRecord(dir.Path().c_str(), &missing));
    EXPECT_EQ(missing.outcome, CheckOutcome::kNotChecked);

    CheckRecord failed;
    failed.outcome = CheckOutcome::kFailed;
    failed.failure = FetchFailure::kCertExpired;
    failed.status = 0;
    failed.failuresInRow = 7;
    failed.checked = At(2026, 12, 10, 12, 34, 56);
    failed.lastSuccess = At(2026, 1, 2, 3, 4, 5);
    failed.rangeMissing = true;
    ASSERT_TRUE(WriteCheckRecord(dir.Path().c_str(), failed));
    EXPECT_EQ(ReadWholeFile(RecordPath(dir)),
              "checked=2026/12/10 12:34:56\r\noutcome=failed\r\nfailure=cert-expired\r\nfailures=7\r\n"
              "succeeded=2026/01/02 03:04:05\r\nrange=missing\r\n");
    CheckRecord read;
    ASSERT_TRUE(ReadCheckRecord(dir.Path().c_str(), &read));
    EXPECT_EQ(read.outcome, CheckOutcome::kFailed);
    EXPECT_EQ(read.failure, FetchFailure::kCertExpired);
    EXPECT_EQ(read.failuresInRow, 7u);
    EXPECT_EQ(read.checked.minute, 34);
    EXPECT_EQ(read.lastSuccess.year, 2026);
    EXPECT_TRUE(read.rangeMissing);

    CheckRecord changed;
    changed.outcome = CheckOutcome::kChanged;
    changed.status = 404;
    changed.checked = At(2026, 12, 10, 12, 35, 0);
    changed.lastSuccess = changed.checked;
    ASSERT_TRUE(WriteCheckRecord(dir.Path().c_str(), changed));
    ASSERT_TRUE(ReadCheckRecord(dir.Path().c_str(), &read));
    EXPECT_EQ(read.outcome, CheckOutcome::kChanged);
    EXPECT_EQ(read.status, 404);
    EXPECT_EQ(read.failuresInRow, 0u);
    EXPECT_FALSE(read.rangeMissing);
    EXPECT_FALSE(FileExists(dir.File("Check.tmp")));
}

TEST(CheckRecordTest, DamagedRecordsReadAsNotCheckedYet)
{
    const std::string whole = "checked=2026/12/10 12:34:56\r\noutcome=unchanged\r\nfailures=0\r\n";
    CheckRecord record;
    ASSERT_TRUE(ParseCheckRecord(whole.data(), whole.size(), &record));

    const std::string damaged[] = {
        "",
        whole.substr(0, whole.size() - 1),                      // cut short inside its last line end
        whole.substr(0, 20),                                    // cut inside a line
        "checked=2026/12/10 12:34:56\noutcome=unchanged\n",     // not its line ends
        "outcome=unchanged\r\nfailures=0\r\n",                  // no time
        "checked=2026/13/10 12:34:56\r\noutcome=unchanged\r\n", // no such month
        "checked=2026/12/10 12:34:56\r\noutcome=lost\r\n",      // no such outcome
        "checked=2026/12/10 12:34:56\r\noutcome=failed\r\n",    // failed without a reason
        "checked=2026/12/10 12:34:56\r\noutcome=failed\r\nfailure=no-such\r\n",
        "checked=2026/12/10 12:34:56\r\noutcome=changed\r\nfailure=reset\r\n",  // a reason without a failure
        "checked=2026/12/10 12:34:56\r\noutcome=failed\r\nfailure=aborted\r\n",
        whole + "failures=1\r\n",                               // a key twice
        whole + "failures=-1\r\n",
        "checked=2026/12/10 12:34:56\r\noutcome=unchanged\r\nfailures=99999999999999999999\r\n",
        "checked=2026/12/10 12:34:56\r\noutcome=unchanged\r\nstatus=1000\r\n",
        whole + "colour=red\r\n",                               // a key no record has
        whole + "range=found\r\n",
        std::string("checked=2026/12/10 12:34:56\r\noutcome=unch\0nged\r\n", 48),
        std::string(600, 'x'),
        whole + std::string(kCheckRecordMaxBytes, '#'),         // larger than any record
    };
    for (const std::string& text : damaged) {
        record.outcome = CheckOutcome::kChanged;
        EXPECT_FALSE(ParseCheckRecord(text.data(), text.size(), &record)) << text;
        EXPECT_EQ(record.outcome, CheckOutcome::kNotChecked) << text;
    }

    // The same through the file, a huge one included: read only as far as a record can go.
    TempDir dir;
    WriteWholeFile(RecordPath(dir), whole + std::string(4 * 1024 * 1024, '\x81'));
    EXPECT_FALSE(ReadCheckRecord(dir.Path().c_str(), &record));
    WriteWholeFile(RecordPath(dir), whole);
    EXPECT_TRUE(ReadCheckRecord(dir.Path().c_str(), &record));
}

TEST(LocalTimeTest, TextRoundTripsAndRejectsWhatIsNoTime)
{
    char text[kLocalTimeTextSize];
    FormatLocalTime(At(2026, 3, 4, 5, 6, 7), text, sizeof text);
    EXPECT_STREQ(text, "2026/03/04 05:06:07");
    FormatLocalMinute(At(2026, 3, 4, 5, 6, 7), text, sizeof text);
    EXPECT_STREQ(text, "2026/03/04 05:06");
    char small[19];
    FormatLocalTime(At(2026, 3, 4, 5, 6, 7), small, sizeof small);
    EXPECT_STREQ(small, "");
    FormatLocalTime(LocalTime(), text, sizeof text);
    EXPECT_STREQ(text, "");

    LocalTime t;
    EXPECT_TRUE(ParseLocalTime("1999/12/31 23:59:59", &t));
    EXPECT_EQ(t.year, 1999);
    EXPECT_EQ(t.second, 59);
    for (const char* bad : {"1999/12/31 23:59", "1999-12-31 23:59:59", "1999/12/31 24:00:00", "1999/00/31 23:59:59",
                            "0000/12/31 23:59:59", " 999/12/31 23:59:59", "1999/12/31 23:59:59 "})
        EXPECT_FALSE(ParseLocalTime(bad, &t)) << bad;

    // A time goes through the calendar and back unchanged.
    LocalTime now;
    ASSERT_TRUE(NowLocal(&now));
    time_t calendar;
    ASSERT_TRUE(ToCalendarTime(now, &calendar));
    LocalTime back;
    ASSERT_TRUE(ToLocalTime(calendar, &back));
    EXPECT_EQ(back.hour, now.hour);
    EXPECT_EQ(back.second, now.second);
}

}  // namespace
