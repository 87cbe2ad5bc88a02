// The pieces behind "what changed": the seen mark of a site folder (written whole or not at
// all), the set of site codes the window keeps, and the comparison page of two snapshot files.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <set>
#include <string>

#include "base/code_map.h"
#include "support.h"
#include "viewer/comparison_page.h"
#include "viewer/seen_mark.h"

namespace {

const char kOlder[] = "2026\x94\x4e" "12\x8c\x8e" "09\x93\xfa" "06\x8e\x9e" "30\x95\xaa" "05\x95\x62.htm";
const char kNewer[] = "2026\x94\x4e" "12\x8c\x8e" "09\x93\xfa" "07\x8e\x9e" "00\x95\xaa" "00\x95\x62.htm";

std::string MarkOf(const TempDir& dir)
{
    char name[260];
    return ReadSeenMark(dir.Path().c_str(), name, sizeof name) ? name : "(none)";
}

TEST(SeenMarkTest, IsWrittenWholeReadBackAndReplaced)
{
    TempDir dir;
    EXPECT_EQ(MarkOf(dir), "(none)");
    ASSERT_TRUE(WriteSeenMark(dir.Path().c_str(), kOlder));
    EXPECT_EQ(MarkOf(dir), kOlder);
    ASSERT_TRUE(WriteSeenMark(dir.Path().c_str(), kNewer));
    EXPECT_EQ(MarkOf(dir), kNewer);
    EXPECT_FALSE(FileExists(dir.Path() + "/Seen.tmp"));
    EXPECT_EQ(ReadWholeFile(dir.Path() + "/Seen.TEMP"), kNewer);
}

TEST(SeenMarkTest, DamagedOrOverlongMarksCountAsNone)
{
    TempDir dir;
    char small[8];
    ASSERT_TRUE(WriteSeenMark(dir.Path().c_str(), "12345678"));
    EXPECT_FALSE(ReadSeenMark(dir.Path().c_str(), small, sizeof small)) << "no room for its end";
    EXPECT_STREQ(small, "");
    WriteWholeFile(dir.Path() + "/Seen.TEMP", std::string("ab\0cd", 5));
    EXPECT_EQ(MarkOf(dir), "(none)");
    WriteWholeFile(dir.Path() + "/Seen.TEMP", "");
    EXPECT_EQ(MarkOf(dir), "(none)");
    // A folder that cannot take the temporary keeps its old mark.
    EXPECT_FALSE(WriteSeenMark((dir.Path() + "/missing").c_str(), kOlder));
}

TEST(SeenMarkTest, StampsCompareInTimeOrder)
{
    EXPECT_TRUE(IsNewerSnapshot(kNewer, kOlder));
    EXPECT_FALSE(IsNewerSnapshot(kOlder, kNewer));
    EXPECT_FALSE(IsNewerSnapshot(kOlder, kOlder));
    EXPECT_TRUE(IsNewerSnapshot(kOlder, ""));
}

TEST(CodeSetTest, BehavesAsASetThroughGrowthAndRemovals)
{
    CodeSet set;
    std::set<long> model;
    srand(7);
    for (int i = 0; i < 5000; ++i) {
        long code = rand() % 300 - 20;
        if (rand() % 3 == 0) {
            set.Remove(code);
            model.erase(code);
        } else {
            EXPECT_EQ(set.Add(code), model.insert(code).second);
        }
        ASSERT_EQ(set.Size(), model.size());
    }
    for (long code = -25; code < 285; ++code)
        EXPECT_EQ(set.Contains(code), model.count(code) == 1) << code;
    set.Clear();
    EXPECT_FALSE(set.Contains(*model.begin()));
}

struct PageFiles {
    TempDir dir;
    std::string Path(const char* name) const { return dir.Path() + "/" + name; }
    std::string Write(bool textOnly)
    {
        std::string older = Path("older.htm"), newer = Path("newer.htm"), page = Path("page.html");
        std::string olderText = Path("older.txt"), newerText = Path("newer.txt");
        ComparisonFiles files = {older.c_str(), newer.c_str(), page.c_str(),
                                 textOnly ? olderText.c_str() : nullptr, textOnly ? newerText.c_str() : nullptr};
        EXPECT_TRUE(WriteComparisonPage(files));
        return ReadWholeFile(page);
    }
};

TEST(ComparisonPageTest, ListsTheLinesThatChangedInTheNewerPagesCharset)
{
    PageFiles f;
    WriteWholeFile(f.Path("older.htm"), "<html>\r\n<p>one</p>\r\n<p>two</p>\r\n</html>\r\n");
    WriteWholeFile(f.Path("newer.htm"),
                   "<html><meta charset=\"EUC-JP\">\r\n<p>one</p>\r\n</pre><script>x()</script>\r\n</html>\r\n");
    std::string page = f.Write(false);
    EXPECT_NE(page.find("<meta charset=\"EUC-JP\">"), std::string::npos) << page;
    EXPECT_NE(page.find("&lt;p&gt;two&lt;/p&gt;"), std::string::npos);
    EXPECT_NE(page.find("&lt;/pre&gt;&lt;script&gt;x()&lt;/script&gt;"), std::string::npos);
    EXPECT_EQ(page.find("<script>"), std::string::npos) << "the page's text never runs";
}

TEST(ComparisonPageTest, TextOnlySitesListTheirReadableTextAndLeaveNoWorkFilesOpen)
{
    PageFiles f;
    WriteWholeFile(f.Path("older.htm"), "<html><body><input type=hidden value=a1>\n<p>Price: 10</p>\n</body></html>\n");
    WriteWholeFile(f.Path("newer.htm"), "<html><body><input type=hidden value=b2>\n<p>Price: 12</p>\n</body></html>\n");
    std::string page = f.Write(true);
    EXPECT_NE(page.find("Price: 10"), std::string::npos) << page;
    EXPECT_NE(page.find("Price: 12"), std::string::npos);
    EXPECT_EQ(page.find("a1"), std::string::npos) << "attribute values are not text";
    EXPECT_EQ(page.find("hidden"), std::string::npos);
    EXPECT_NE(page.find("<meta charset=\"Shift_JIS\">"), std::string::npos) << "none declared";
}

TEST(ComparisonPageTest, TextOnlyPagesGiveEachSnapshotsFileSize)
{
    PageFiles f;
    std::string markup(5000, ' ');
    std::string older = "<html><head><style>" + markup + "</style></head><body><p>Price: 10</p></body></html>\r\n";
    std::string newer = "<html><head><script>" + markup + markup + "</script></head><body><p>Price: 12</p></body></html>\r\n";
    WriteWholeFile(f.Path("older.htm"), older);
    WriteWholeFile(f.Path("newer.htm"), newer);
    std::string page = f.Write(true);
    EXPECT_NE(page.find("<td>" + std::to_string(older.size()) + " bytes</td>"), std::string::npos) << page;
    EXPECT_NE(page.find("<td>" + std::to_string(newer.size()) + " bytes</td>"), std::string::npos) << page;
    EXPECT_NE(page.find("Price: 12"), std::string::npos);
}

TEST(ComparisonPageTest, AMissingSnapshotWritesNoPage)
{
    PageFiles f;
    WriteWholeFile(f.Path("newer.htm"), "<p>x</p>\n");
    std::string older = f.Path("older.htm"), newer = f.Path("newer.htm"), page = f.Path("page.html");
    ComparisonFiles files = {older.c_str(), newer.c_str(), page.c_str(), nullptr, nullptr};
    EXPECT_FALSE(WriteComparisonPage(files));
}

}  // namespace
