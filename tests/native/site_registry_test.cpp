// The registry file's section, read whole, gives the rows the key-by-key reading would give.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registry/setting_text.h"
#include "registry/site_registry.h"
#include "support.h"

namespace {

struct Row {
    std::string name;
    std::string url;
    long code;
    bool textOnly;
};

// A section as the platform hands it over, parsed.
class Section {
public:
    explicit Section(const std::vector<std::string>& lines) : m_text(SectionText(lines)) {}
    SiteRegistry& Parse()
    {
        EXPECT_TRUE(m_registry.Parse(m_text.data(), m_text.size() - 1));
        return m_registry;
    }
    // The listed sites whole, their watch included.
    std::vector<ListedSite> Sites()
    {
        std::vector<ListedSite> sites;
        Parse().ForEachListed(
            [](void* context, const ListedSite& site) { static_cast<std::vector<ListedSite>*>(context)->push_back(site); },
            &sites);
        return sites;
    }
    std::vector<Row> Rows()
    {
        std::vector<Row> rows;
        Parse().ForEachListed(
            [](void* context, const ListedSite& site) {
                static_cast<std::vector<Row>*>(context)->push_back({site.name, site.url, site.code, site.method == CompareMethod::kTextOnly});
            },
            &rows);
        return rows;
    }

private:
    std::vector<char> m_text;
    SiteRegistry m_registry;
};

TEST(SiteRegistry, ListsLiveEntriesInEntryOrder)
{
    Section s({"count=3", "name1=a", "url1=http://a/", "code1=81542", "name2=b", "url2=http://b/",
               "code2=219300", "name3=c", "url3=http://c/", "code3=11234", "del2=1"});
    auto rows = s.Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].name, "a");
    EXPECT_EQ(rows[0].url, "http://a/");
    EXPECT_EQ(rows[0].code, 81542);
    EXPECT_EQ(rows[1].name, "c");
    EXPECT_EQ(rows[1].code, 11234);
}

TEST(SiteRegistry, CountDecidesHowFarEntriesAreRead)
{
    EXPECT_TRUE(Section({"count=0", "name1=a", "url1=u", "code1=1"}).Rows().empty());
    EXPECT_TRUE(Section({"count=-4", "name1=a", "url1=u", "code1=1"}).Rows().empty());
    EXPECT_TRUE(Section({"name1=a", "url1=u", "code1=1"}).Rows().empty());
    EXPECT_TRUE(Section({"count=", "name1=a"}).Rows().empty());
    auto rows = Section({"count=1", "name1=a", "code1=1", "name2=above", "code2=2"}).Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].name, "a");
}

TEST(SiteRegistry, OnlyDelOfExactlyOneHidesAnEntry)
{
    auto rows = Section({"count=4", "name1=a", "del1=2", "name2=b", "del2=01", "name3=c", "del3=1 ",
                         "name4=d", "del4=x"}).Rows();
    ASSERT_EQ(rows.size(), 2u);  // "01" and "1 " read as the number 1
    EXPECT_EQ(rows[0].name, "a");
    EXPECT_EQ(rows[1].name, "d");
}

TEST(SiteRegistry, MissingKeysGiveAnEmptyRowUpToCount)
{
    auto rows = Section({"count=3", "name1=a", "code1=5", "name3=c", "code3=7"}).Rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1].name, "");
    EXPECT_EQ(rows[1].url, "");
    EXPECT_EQ(rows[1].code, 0);
    EXPECT_EQ(rows[2].name, "c");
}

TEST(SiteRegistry, ValuesAreCutToTheirBuffers)
{
    std::string name(150, 'n');
    std::string url(300, 'u');
    auto rows = Section({"count=1", "name1=" + name, "url1=" + url, "code1=3"}).Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].name, name.substr(0, 99));
    EXPECT_EQ(rows[0].url, url.substr(0, 259));
}

TEST(SiteRegistry, KeysMatchLikeTheProfileReader)
{
    auto rows = Section({"COUNT=2", "Name1=first", "name1=second", "URL1=\"quoted\"", "Code1=12abc",
                         "name02=leading zero is another key", "name2=two"}).Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].name, "first");
    EXPECT_EQ(rows[0].url, "quoted");
    EXPECT_EQ(rows[0].code, 12);
    EXPECT_EQ(rows[1].name, "two");
}

TEST(SiteRegistry, TwoEntriesMayShareOneCode)
{
    auto rows = Section({"count=2", "name1=a", "code1=11234", "name2=b", "code2=11234"}).Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].code, rows[1].code);
}

TEST(SiteRegistry, DamagedCountListsOnlyNumbersThatHaveKeys)
{
    auto rows = Section({"count=2147483647", "name1=a", "code1=1", "name2=b", "code2=2", "name3=c",
                         "code3=3"}).Rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2].name, "c");
    // A far key does not make every number before it a row.
    auto far = Section({"count=2147483647", "name1=a", "name2000000000=z"}).Rows();
    EXPECT_EQ(far.size(), 2u + SiteRegistry::kMaxBlankEntries);
    EXPECT_EQ(far.back().name, "z");
}

TEST(SiteRegistry, CompareKeyOfTextMakesATextOnlySite)
{
    auto rows = Section({"count=9", "name1=a", "compare1=text", "name2=b", "Compare2=\"TEXT\"", "name3=c",
                         "compare3= text ", "name4=d", "compare4=page", "name5=e", "compare5=", "name6=f",
                         "compare6=texts", "name7=g", "compare7=text", "compare7=page", "name8=h",
                         "compare8=te", "name9=i", "compare09=text"}).Rows();
    ASSERT_EQ(rows.size(), 9u);
    std::vector<bool> textOnly;
    for (const Row& row : rows)
        textOnly.push_back(row.textOnly);
    EXPECT_EQ(textOnly, std::vector<bool>({true, true, true, false, false, false, true, false, false}));
    EXPECT_EQ(rows[6].name, "g");
}

TEST(SiteRegistry, FilesWithoutCompareKeysAndDeletedEntriesReadAsBefore)
{
    auto old = Section({"count=2", "name1=a", "url1=http://a/", "code1=5", "name2=b", "code2=6"}).Rows();
    ASSERT_EQ(old.size(), 2u);
    EXPECT_FALSE(old[0].textOnly);
    EXPECT_FALSE(old[1].textOnly);
    // A deleted entry stays hidden whatever its comparison, and its code is no live entry's.
    std::initializer_list<std::string> lines = {"count=3", "name1=a", "code1=5", "compare1=text", "del1=1",
                                                "name2=b", "code2=5", "name3=c", "code3=7", "compare3=text"};
    auto rows = Section(lines).Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].name, "b");
    EXPECT_FALSE(rows[0].textOnly);
    EXPECT_TRUE(rows[1].textOnly);
    Section s(lines);
    EXPECT_EQ(s.Parse().FindLiveEntry(5), 2u);
    // An entry that has only its comparison key lists as an empty row, as a key-by-key read gives.
    auto bare = Section({"count=2", "name1=a", "compare2=text"}).Rows();
    ASSERT_EQ(bare.size(), 2u);
    EXPECT_EQ(bare[1].name, "");
    EXPECT_TRUE(bare[1].textOnly);
}

TEST(SiteRegistry, FindsTheFirstLiveEntryOfACode)
{
    Section s({"count=4", "code1=11234", "del1=1", "code2=11234", "code3=11234", "code4=9", "code5=9"});
    SiteRegistry& r = s.Parse();
    EXPECT_EQ(r.FindLiveEntry(11234), 2u);
    EXPECT_EQ(r.FindLiveEntry(9), 4u);
    EXPECT_EQ(r.FindLiveEntry(77), 0u);
    EXPECT_TRUE(r.HasCode(11234));
    EXPECT_TRUE(r.HasCode(9));
    EXPECT_FALSE(r.HasCode(77));
}

TEST(SiteRegistry, AnEntryWithoutKeysHoldsCodeZero)
{
    Section s({"count=3", "code1=5", "code3=6"});
    EXPECT_EQ(s.Parse().FindLiveEntry(0), 2u);
}

}  // namespace

namespace {

// The number a new entry takes is one above this: neither a damaged count nor stray keys may
// let it land on an old entry's keys.
TEST(SiteRegistryNumbers, HighestNumberComesFromTheCountOrAnyKey)
{
    EXPECT_EQ(Section({}).Parse().HighestNumber(), 0u);
    EXPECT_EQ(Section({"count=3", "name1=a", "url1=u", "code1=1"}).Parse().HighestNumber(), 3u);
    // Count too small, missing, or no number: the keys say how far the entries go.
    EXPECT_EQ(Section({"count=1", "name1=a", "url4=u", "del5=1"}).Parse().HighestNumber(), 5u);
    EXPECT_EQ(Section({"name2=a", "code7=1"}).Parse().HighestNumber(), 7u);
    EXPECT_EQ(Section({"count=x", "URL9=a"}).Parse().HighestNumber(), 9u);
    EXPECT_EQ(Section({"count=-4", "name2=a"}).Parse().HighestNumber(), 2u);
    // A comparison key left behind counts too: a new entry must not take it over.
    EXPECT_EQ(Section({"count=1", "name1=a", "compare6=text"}).Parse().HighestNumber(), 6u);
    // The largest number there is: nothing can come after it.
    EXPECT_EQ(Section({"count=2147483647", "name1=a"}).Parse().HighestNumber(), 2147483647u);
    EXPECT_EQ(Section({"count=1", "name2147483647=a"}).Parse().HighestNumber(), 2147483647u);
    // Keys no reader takes for entries do not count.
    EXPECT_EQ(Section({"count=1", "name99999999999=a", "name01=b", "namex=c"}).Parse().HighestNumber(), 1u);
}

}  // namespace

// ---- A site's watch: interval<n>, from<n>, to<n>, ignore<n> ----

namespace {

std::string Encoded(const std::string& text)
{
    char value[EncodedSize(kIgnoreTextsSize)];
    EXPECT_TRUE(EncodeSettingText(text.c_str(), value, sizeof value)) << text;
    return value;
}

// The watch entry 1 gets from the given lines of its own.
SiteWatch WatchOf(const std::vector<std::string>& watchLines)
{
    std::vector<std::string> lines = {"count=1", "name1=a", "url1=http://a/", "code1=5"};
    lines.insert(lines.end(), watchLines.begin(), watchLines.end());
    Section section(lines);
    auto sites = section.Sites();
    EXPECT_EQ(sites.size(), 1u);
    return sites.empty() ? SiteWatch() : sites[0].watch;
}

// Texts the profile reader would change if they were written as they are: blanks and quotes at
// the ends, the escape character, line ends and other control bytes, bytes that are no
// code-page-932 character, a full-width space at either end, and ordinary Japanese text whose
// trail bytes are "\" and "|".
const std::vector<std::string> kAwkwardTexts = {
    " leading and trailing ",
    "\"quoted\"",
    "'single'",
    "100% sure %41 stays",
    "tab\there",
    "\x81\x40\x91\x53\x8a\x70\x81\x40",            // "　全角　"
    "\x83\x5c\x83\x74\x83\x67 \x95\x5c\x8e\xa6",  // "ソフト 表示"
    "lone lead \x82",
    "\x82\x0a after a lead",
    "ctrl-z \x1a and del \x7f",
    "\x80\xa0\xfd\xfe\xff",
    "=; [section] #",
};

TEST(SiteWatchText, EveryAwkwardTextComesBackExactlyThroughTheReader)
{
    for (const std::string& text : kAwkwardTexts) {
        std::string value = Encoded(text);
        EXPECT_EQ(value.find_first_of("\r\n\t\x1a"), std::string::npos) << value;
        EXPECT_NE(value.front(), ' ');
        EXPECT_NE(value.back(), ' ');
        EXPECT_NE(value.front(), '"');
        bool lineEnd = text.find_first_of("\r\n") != std::string::npos;
        // Read back as the reader gives it, also with blanks around the value as hand editing
        // leaves them.
        for (const std::string& line : {"from1=" + value, "from1 =  " + value + " \t"}) {
            SiteWatch watch = WatchOf({line, "ignore1=" + value});
            EXPECT_EQ(watch.part.from, lineEnd ? std::string() : text) << line;
            if (!lineEnd) {
                EXPECT_EQ(watch.part.ignore, text) << line;
            }
        }
    }
}

TEST(SiteWatchText, IgnoredTextsAreSeparatedByLineEndsThatTheirEncodingHides)
{
    char joined[kIgnoreTextsSize];
    ASSERT_TRUE(JoinIgnoreLines("\x95\xaa\x91\x4f\r\n\r\n   \r\n\x81\x40\r\n%0A literally\nPR\r", joined, sizeof joined));
    EXPECT_STREQ(joined, "\x95\xaa\x91\x4f\n%0A literally\nPR");  // "分前", "%0A literally", "PR"
    std::string value = Encoded(joined);
    EXPECT_EQ(value, "\x95\xaa\x91\x4f%0A%250A literally%0APR");
    SiteWatch watch = WatchOf({"ignore1=" + value});
    EXPECT_STREQ(watch.part.ignore, joined);
    // Blank lines and CR LF inside a stored value are taken like those typed.
    EXPECT_STREQ(WatchOf({"ignore1=a%0D%0A%0D%0A%20%0Ab"}).part.ignore, "a\nb");
}

TEST(SiteWatchText, JoinedTextsThatDoNotFitAreRefused)
{
    std::string lines(600, 'a');
    lines += "\r\n" + std::string(422, 'b');
    char joined[kIgnoreTextsSize];
    EXPECT_TRUE(JoinIgnoreLines(lines.c_str(), joined, sizeof joined));  // 600 + LF + 422 = 1,023
    EXPECT_FALSE(JoinIgnoreLines((lines + "b").c_str(), joined, sizeof joined));
    EXPECT_STREQ(joined, "");
}

TEST(SiteWatchText, EncodingThatDoesNotFitLeavesNothing)
{
    char small[8];
    EXPECT_FALSE(EncodeSettingText("%%%", small, sizeof small));  // 9 bytes and the zero
    EXPECT_STREQ(small, "");
    EXPECT_TRUE(EncodeSettingText("%%", small, sizeof small));
    EXPECT_STREQ(small, "%25%25");
}

TEST(SiteWatch, IntervalsOfferedAreReadAndAnythingElseIsEveryPass)
{
    for (unsigned long minutes : kCheckIntervals)
        EXPECT_EQ(WatchOf({"interval1=" + std::to_string(minutes)}).interval, minutes);
    EXPECT_EQ(WatchOf({"Interval1 = \"180\""}).interval, 180u);
    for (const char* junk : {"30", "61", "60x", "-60", "+60", " ", "abc", "10080000", "1e3", "\"60"}) {
        EXPECT_EQ(WatchOf({std::string("interval1=") + junk}).interval, 0u) << junk;
    }
    EXPECT_EQ(WatchOf({}).interval, 0u);
    EXPECT_EQ(WatchOf({"interval1=60", "interval1=1440"}).interval, 60u) << "the first of repeated keys";
}

TEST(SiteWatch, RangeTextsThatCannotBeReadAreNoRange)
{
    std::string longest(255, 'x');
    EXPECT_EQ(WatchOf({"from1=" + Encoded(longest)}).part.from, longest);
    EXPECT_STREQ(WatchOf({"from1=" + longest + "x"}).part.from, "") << "256 bytes";
    EXPECT_STREQ(WatchOf({"to1=" + std::string(300, '%') }).part.to, "");
    EXPECT_STREQ(WatchOf({"from1=50%"}).part.from, "") << "an escape cut short";
    EXPECT_STREQ(WatchOf({"from1=%4g"}).part.from, "");
    EXPECT_STREQ(WatchOf({"from1=a%00b"}).part.from, "") << "a zero byte";
    EXPECT_STREQ(WatchOf({"to1=two%0Alines"}).part.to, "") << "a line end";
    EXPECT_STREQ(WatchOf({"to1=%3C/div%3e"}).part.to, "</div>") << "escapes in any letter case";
    EXPECT_STREQ(WatchOf({"ignore1=" + std::string(1024, 'i')}).part.ignore, "");
}

TEST(SiteWatch, EntriesWithoutWatchKeysAndDeletedOnesAreUntouched)
{
    Section s({"count=3", "name1=a", "url1=u", "code1=1", "interval1=60", "from1=<main>", "name2=b", "code2=2",
               "del2=1", "interval2=1440", "name3=c", "code3=3"});
    auto sites = s.Sites();
    ASSERT_EQ(sites.size(), 2u);
    EXPECT_EQ(sites[0].watch.interval, 60u);
    EXPECT_STREQ(sites[0].watch.part.from, "<main>");
    EXPECT_FALSE(sites[0].watch.IsDefault());
    EXPECT_STREQ(sites[1].name, "c");
    EXPECT_TRUE(sites[1].watch.IsDefault());
}

}  // namespace
