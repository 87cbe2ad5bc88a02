// Comparing fetched and reference copies as text, on real files. Every case runs with the
// program's block size and with tiny blocks so CR LF pairs, 0x1A and differences land on block
// edges.
#include <gtest/gtest.h>

#include <string>

#include "acquisition/files_differ.h"
#include "support.h"

namespace {

using namespace std::string_literals;

struct Case {
    const char* name;
    std::string fresh;
    std::string old;
    int expected;
};

std::string Line(size_t len, char c) { return std::string(len, c); }

std::vector<Case> Cases()
{
    std::string many;
    std::string manyCrLf;
    for (int i = 0; i < 500; ++i) {
        std::string text = "line " + std::to_string(i) + " of the page";
        many += text + "\n";
        manyCrLf += text + "\r\n";
    }
    return {
        {"identical", "<html>\na\nb\n</html>\n", "<html>\na\nb\n</html>\n", 0},
        {"both empty", "", "", 0},
        {"empty new, text old", "", "x\n", 1},
        {"text new, empty old", "x\n", "", 1},
        {"one changed line", "a\nb\nc\n", "a\nB\nc\n", 1},
        {"new has a line more", "a\nb\nc\n", "a\nb\n", 1},
        {"old has a line more", "a\nb\n", "a\nb\nc\n", 1},
        {"repeated last line is still more", "a\na\n", "a\n", 1},
        {"old runs out then new changes", "a\nb\n", "a\n", 1},
        {"missing final LF", "a\nb", "a\nb\n", 1},
        {"CR LF reads as LF", "a\r\nb\r\n", "a\nb\n", 0},
        {"CR LF against LF, many lines", manyCrLf, many, 0},
        {"CR LF against LF, last line differs", manyCrLf + "end\r\n", many + "End\n", 1},
        {"long identical prefix, last line differs", many + "x\n", many + "y\n", 1},
        {"CR CR LF is CR and LF", "a\r\r\n", "a\r\n", 1},
        {"CR CR LF against CR LF, more lines", "a\r\r\nb\n", "a\r\nb\n", 1},
        {"lone CR stays", "a\rb\n", "a\nb\n", 1},
        {"lone CR in both", "a\rb\n", "a\rb\n", 0},
        {"CR at the end of the file", "a\r", "a\r", 0},
        {"CR at the end against nothing", "a\r", "a", 1},
        {"0x1A ends the text", "abc\n\x1A" "different", "abc\n\x1A" "other text\n", 0},
        {"0x1A against end of file", "abc\n\x1A" "tail\n", "abc\n", 0},
        {"0x1A inside a line", "abc\x1Axyz\n", "abc", 0},
        {"0x1A after CR", "ab\r\x1A\n", "ab\r", 0},
        {"0x1A ends one text early", "ab\x1A" "c", "abc", 1},
        {"CR LF then 0x1A", manyCrLf + "\x1A" "junk", many, 0},
        {"zero byte hides the rest of a line", "ab\0cd\n"s, "ab\0XY\n"s, 0},
        {"zero byte against a full line", "ab\0cd\n"s, "ab\n", 1},
        {"zero byte line is still a piece", "x\n\0\n"s, "x\n", 1},
        {"double-byte characters", "\x95\x5C\x83\x5C\n", "\x95\x5C\x83\x5C\n", 0},
        {"double-byte characters differ", "\x95\x5C\n", "\x83\x5C\n", 1},
        {"long line in 1023-byte pieces", Line(3000, 'a') + "\n", Line(3000, 'a') + "\n", 0},
        {"long line differing late", Line(2500, 'a') + "\n", Line(2499, 'a') + "b\n", 1},
        {"CR LF closing a 1023-byte piece", Line(1022, 'a') + "\r\nz\n", Line(1022, 'a') + "\nz\n", 0},
        {"CR LF after a full piece is its own piece", Line(1023, 'a') + "\r\n", Line(1023, 'a') + "\n", 0},
        {"line split differently", Line(1023, 'a') + "b\n", Line(1023, 'a') + "\nb\n", 1},
        {"lead byte standing last in a piece", Line(1022, 'a') + "\x83X\n", Line(1022, 'a') + "\x84X\n", 0},
        {"lead byte last, trail piece differs", Line(1022, 'a') + "\x83X\n", Line(1022, 'a') + "\x83Y\n", 1},
    };
}

class CompareTextFilesTest : public ::testing::TestWithParam<size_t> {
protected:
    int Compare(const std::string& fresh, const std::string& old)
    {
        WriteWholeFile(m_dir.File("new.htm"), fresh);
        WriteWholeFile(m_dir.File("old.htm"), old);
        return CompareTextFilesInBlocks(m_dir.File("new.htm").c_str(), m_dir.File("old.htm").c_str(), GetParam());
    }
    TempDir m_dir;
};

TEST_P(CompareTextFilesTest, DecidesEveryCase)
{
    for (const Case& c : Cases())
        EXPECT_EQ(Compare(c.fresh, c.old), c.expected) << c.name;
}

TEST_P(CompareTextFilesTest, DifferenceIsSymmetricAndAFileEqualsItself)
{
    for (const Case& c : Cases()) {
        EXPECT_EQ(Compare(c.old, c.fresh), c.expected) << c.name;
        EXPECT_EQ(Compare(c.fresh, c.fresh), 0) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, CompareTextFilesTest, ::testing::Values(2, 3, 5, 64, 1024, 64 * 1024));

TEST(CompareTextFiles, MissingNewFileIsNoChangeMissingOldFileIsAChange)
{
    TempDir dir;
    std::string present = dir.File("present.htm");
    std::string missing = dir.File("missing.htm");
    WriteWholeFile(present, "<p>x</p>\n");
    EXPECT_EQ(CompareTextFiles(missing.c_str(), present.c_str()), 0);
    EXPECT_EQ(CompareTextFiles(present.c_str(), missing.c_str()), 1);
    EXPECT_EQ(CompareTextFiles(missing.c_str(), missing.c_str()), 0);
}

TEST(CompareTextFiles, LargeFilesAcrossManyBlocks)
{
    TempDir dir;
    std::string lf;
    std::string crlf;
    for (int i = 0; i < 40000; ++i) {
        std::string text = "<tr><td>" + std::to_string(i * 7919) + "</td><td>\x95\x5C\x83\x5C</td></tr>";
        lf += text + "\n";
        crlf += text + "\r\n";
    }
    std::string a = dir.File("a.htm");
    std::string b = dir.File("b.htm");
    WriteWholeFile(a, crlf + "last\r\n");
    WriteWholeFile(b, lf + "last\n");
    EXPECT_EQ(CompareTextFiles(a.c_str(), b.c_str()), 0);
    WriteWholeFile(b, lf + "Last\n");
    EXPECT_EQ(CompareTextFiles(a.c_str(), b.c_str()), 1);
    WriteWholeFile(b, crlf + "last\r\n");
    EXPECT_EQ(CompareTextFiles(a.c_str(), b.c_str()), 0);
    std::string changed = crlf;
    changed[changed.size() / 2] = '#';
    WriteWholeFile(b, changed + "last\r\n");
    EXPECT_EQ(CompareTextFiles(a.c_str(), b.c_str()), 1);
}

}  // namespace
