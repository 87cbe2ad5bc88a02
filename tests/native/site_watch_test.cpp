// A site's watch in memory: when its interval makes it due for a check, and the table the window
// keeps every site's watch in.
#include <gtest/gtest.h>

#include <string>

#include "acquisition/check_schedule.h"
#include "registry/watch_table.h"

namespace {

const time_t kNow = 1797000000;  // a winter day of 2026, away from any change of summer time

CheckRecord CheckedAt(time_t when, CheckOutcome outcome = CheckOutcome::kUnchanged)
{
    CheckRecord record;
    record.outcome = outcome;
    EXPECT_TRUE(ToLocalTime(when, &record.checked));
    return record;
}

TEST(CheckSchedule, EveryPassSitesAndSitesNeverCheckedAreAlwaysDue)
{
    CheckRecord justNow = CheckedAt(kNow);
    EXPECT_TRUE(IsCheckDue(&justNow, 0, kNow));
    for (unsigned long interval : kCheckIntervals) {
        EXPECT_TRUE(IsCheckDue(nullptr, interval, kNow)) << interval;
        CheckRecord never;
        EXPECT_TRUE(IsCheckDue(&never, interval, kNow)) << interval;
    }
    CheckRecord damaged = CheckedAt(kNow);
    damaged.checked.month = 13;  // no time the platform can give
    EXPECT_TRUE(IsCheckDue(&damaged, 60, kNow));
}

TEST(CheckSchedule, ASiteIsDueOnceItsIntervalHasPassedSinceItsLastCheck)
{
    for (unsigned long interval : kCheckIntervals) {
        if (interval == 0)
            continue;
        time_t span = static_cast<time_t>(interval) * 60;
        CheckRecord record = CheckedAt(kNow - span + 1);
        EXPECT_FALSE(IsCheckDue(&record, interval, kNow)) << interval;
        record = CheckedAt(kNow - span);
        EXPECT_TRUE(IsCheckDue(&record, interval, kNow)) << interval;
    }
    CheckRecord failed = CheckedAt(kNow - 600, CheckOutcome::kFailed);
    EXPECT_FALSE(IsCheckDue(&failed, 60, kNow)) << "a failed check is a check";
}

TEST(CheckSchedule, AClockSetBackMakesTheSiteDue)
{
    CheckRecord ahead = CheckedAt(kNow + 120);
    EXPECT_TRUE(IsCheckDue(&ahead, 10080, kNow));
}

SiteWatch Watch(unsigned long interval, const char* from, const char* to, const char* ignore)
{
    SiteWatch watch;
    watch.interval = interval;
    snprintf(watch.part.from, sizeof watch.part.from, "%s", from);
    snprintf(watch.part.to, sizeof watch.part.to, "%s", to);
    snprintf(watch.part.ignore, sizeof watch.part.ignore, "%s", ignore);
    return watch;
}

TEST(WatchTable, KeepsEachSitesWatchAndNothingForTheDefault)
{
    WatchTable table;
    EXPECT_TRUE(table.Put(7, Watch(60, "<main>", "</main>", "PR\n\x95\xaa\x91\x4f")));
    EXPECT_TRUE(table.Put(3, Watch(0, "", "", "counter")));
    EXPECT_TRUE(table.Put(9, SiteWatch()));
    EXPECT_EQ(table.Size(), 2u) << "the default takes no room";
    SiteWatch got;
    table.Get(7, &got);
    EXPECT_EQ(got.interval, 60u);
    EXPECT_STREQ(got.part.from, "<main>");
    EXPECT_STREQ(got.part.to, "</main>");
    EXPECT_STREQ(got.part.ignore, "PR\n\x95\xaa\x91\x4f");
    EXPECT_EQ(table.Interval(3), 0u);
    table.Get(9, &got);
    EXPECT_TRUE(got.IsDefault());

    EXPECT_TRUE(table.Put(7, Watch(1440, "", "", "")));
    table.Get(7, &got);
    EXPECT_EQ(got.interval, 1440u);
    EXPECT_STREQ(got.part.from, "") << "a new watch replaces the old one whole";
    EXPECT_TRUE(table.Put(7, SiteWatch()));
    EXPECT_FALSE(table.Contains(7));
    EXPECT_EQ(table.Size(), 1u);
}

TEST(WatchTable, TextsAtTheirLongestComeBackWhole)
{
    WatchTable table;
    std::string from(kRangeTextSize - 1, 'f');
    std::string to(kRangeTextSize - 1, 't');
    std::string ignore(kIgnoreTextsSize - 1, 'i');
    ASSERT_TRUE(table.Put(1, Watch(10080, from.c_str(), to.c_str(), ignore.c_str())));
    SiteWatch got;
    table.Get(1, &got);
    EXPECT_EQ(got.part.from, from);
    EXPECT_EQ(got.part.to, to);
    EXPECT_EQ(got.part.ignore, ignore);
}

}  // namespace
