// The registry file's section, read whole, gives the rows the key-by-key reading would give.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registry/site_registry.h"

namespace {

struct Row {
    std::string name;
    std::string url;
    long code;
    bool textOnly;
};

// A section as the platform hands it over: "key=value" lines each ended by a zero byte.
class Section {
public:
    explicit Section(std::initializer_list<std::string> lines)
    {
        for (const auto& line : lines) {
            m_text.insert(m_text.end(), line.begin(), line.end());
            m_text.push_back('\0');
        }
        m_text.push_back('\0');
    }
    SiteRegistry& Parse()
    {
        EXPECT_TRUE(m_registry.Parse(m_text.data(), m_text.size() - 1));
        return m_registry;
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
