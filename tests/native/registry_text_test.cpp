// Code-page-932 walking, decimal texts and bounded path joins.
#include <gtest/gtest.h>
#include <string.h>

#include "base/cp932.h"
#include "base/decimal.h"
#include "base/path_join.h"

namespace {

// 表 and ソ end in 0x5C, the byte of a backslash.
const char kHyou[] = "\x95\x5C";
const char kSo[] = "\x83\x5C";

long Find(const std::string& s, char c) { return cp932::FindChar(s.data(), s.size(), c); }
long FindLast(const std::string& s, char c) { return cp932::FindLastChar(s.data(), s.size(), c); }
long FindText(const std::string& s, const std::string& needle)
{
    return cp932::FindText(s.data(), s.size(), needle.data(), needle.size());
}
int Compare(const std::string& a, const std::string& b) { return cp932::Compare(a.data(), a.size(), b.data(), b.size()); }

TEST(Cp932Walk, TrailByteBackslashIsNeverAPathSeparator)
{
    EXPECT_EQ(Find(kHyou, '\\'), -1);
    EXPECT_EQ(Find(kSo, '\\'), -1);
    std::string path = std::string("C:\\") + kHyou + "\\" + kSo + "\\x";
    // C : \ 95 5C \ 83 5C \ x
    EXPECT_EQ(Find(path, '\\'), 2);
    EXPECT_EQ(FindLast(path, '\\'), 8);
    EXPECT_EQ(FindLast(std::string("dir\\") + kSo, '\\'), 3);
    EXPECT_EQ(FindLast(kSo, '\\'), -1);
    EXPECT_EQ(FindLast("", '\\'), -1);
}

TEST(Cp932Walk, LeadByteStandingLastIsASingleCharacter)
{
    std::string text = std::string("ab\\") + "\x83";
    EXPECT_EQ(Find(text, '\\'), 2);
    EXPECT_EQ(cp932::CharLength(text.data(), 3, text.size()), 1u);
    EXPECT_EQ(cp932::CharLength(kSo, 0, 2), 2u);
    EXPECT_TRUE(cp932::IsLeadByte(0x81));
    EXPECT_TRUE(cp932::IsLeadByte(0x9F));
    EXPECT_TRUE(cp932::IsLeadByte(0xE0));
    EXPECT_TRUE(cp932::IsLeadByte(0xFC));
    EXPECT_FALSE(cp932::IsLeadByte(0x80));
    EXPECT_FALSE(cp932::IsLeadByte(0xA0));  // half-width katakana are single bytes
    EXPECT_FALSE(cp932::IsLeadByte(0xDF));
    EXPECT_FALSE(cp932::IsLeadByte(0xFD));
}

TEST(Cp932Walk, TextSearchStartsOnCharacterBoundaries)
{
    EXPECT_EQ(FindText("HTTP/1.0 200\r\n\r\n<p>", "\r\n\r\n"), 12);
    // A lead byte takes the CR after it as its trail byte: the head end is not there.
    EXPECT_EQ(FindText("X: \x83\r\n\r\nz", "\r\n\r\n"), -1);
    EXPECT_EQ(FindText(std::string(kSo) + "\\n", "\\n"), 2);
    EXPECT_EQ(FindText("abc", ""), 0);
    EXPECT_EQ(FindText("ab", "abc"), -1);
}

TEST(Cp932Compare, DoubleByteCharactersAreUnits)
{
    EXPECT_EQ(Compare("abc", "abc"), 0);
    EXPECT_LT(Compare("abc", "abd"), 0);
    EXPECT_GT(Compare("abcd", "abc"), 0);
    EXPECT_NE(Compare(kHyou, kSo), 0);
    // A lead byte standing last counts as the end of its text.
    EXPECT_EQ(Compare("ab\x83", "ab"), 0);
    EXPECT_EQ(Compare("ab\x83", "ab\x95"), 0);
    EXPECT_NE(Compare("ab\x83\x40", "ab"), 0);
}

TEST(DecimalText, WritesSignedValuesWithoutLeadingZeros)
{
    EXPECT_STREQ(DecimalText(0).c_str(), "0");
    EXPECT_STREQ(DecimalText(7).c_str(), "7");
    EXPECT_STREQ(DecimalText(1200).c_str(), "1200");
    EXPECT_STREQ(DecimalText(-45).c_str(), "-45");
    EXPECT_STREQ(DecimalText(2147483647L).c_str(), "2147483647");
    EXPECT_STREQ(DecimalText(-2147483647L - 1).c_str(), "-2147483648");
    EXPECT_STREQ(IntToString(80), "80");
}

TEST(DecimalText, ParsesTheLeadingNumberLikeTheProfileReader)
{
    bool ok = false;
    EXPECT_EQ(ParseLeadingDecimal("42", &ok), 42);
    EXPECT_TRUE(ok);
    EXPECT_EQ(ParseLeadingDecimal(" \t-17 minutes", &ok), -17);
    EXPECT_TRUE(ok);
    EXPECT_EQ(ParseLeadingDecimal("+5x", &ok), 5);
    EXPECT_TRUE(ok);
    EXPECT_EQ(ParseLeadingDecimal("007", &ok), 7);
    EXPECT_EQ(ParseLeadingDecimal("abc", &ok), 0);
    EXPECT_FALSE(ok);
    EXPECT_EQ(ParseLeadingDecimal("-", &ok), 0);
    EXPECT_FALSE(ok);
    EXPECT_EQ(ParseLeadingDecimal("", &ok), 0);
    EXPECT_FALSE(ok);
    EXPECT_EQ(ParseLeadingDecimal("4294967297", &ok), 1);  // wraps as 32 bits
    EXPECT_EQ(ParseLeadingDecimal("12", nullptr), 12);
}

TEST(JoinPath, JoinsPiecesThatFit)
{
    char dst[kPathBufferSize];
    const char* const pieces[] = {"C:\\data\\", "site", ".htm"};
    EXPECT_TRUE(JoinPath(dst, pieces));
    EXPECT_STREQ(dst, "C:\\data\\site.htm");
    std::string exact(259, 'p');
    const char* const one[] = {exact.c_str()};
    EXPECT_TRUE(JoinPath(dst, one));
    EXPECT_EQ(strlen(dst), 259u);
}

TEST(JoinPath, RefusesAPathLongerThan259BytesAndLeavesTheBufferEmpty)
{
    struct {
        char dst[kPathBufferSize];
        char guard[16];
    } area;
    memset(area.guard, 'G', sizeof(area.guard));
    memset(area.dst, 'x', sizeof(area.dst));
    std::string head(200, 'a');
    std::string tail(60, 'b');  // 260 bytes together
    const char* const pieces[] = {head.c_str(), tail.c_str()};
    EXPECT_FALSE(JoinPath(area.dst, pieces));
    EXPECT_EQ(area.dst[0], '\0');
    for (char c : area.guard)
        EXPECT_EQ(c, 'G');
    const char* const none[] = {""};
    EXPECT_TRUE(JoinPath(area.dst, none));
    EXPECT_STREQ(area.dst, "");
}

TEST(CopyText, CutsToTheBuffer)
{
    char dst[5];
    EXPECT_EQ(CopyText(dst, sizeof(dst), "abcdefgh"), 4u);
    EXPECT_STREQ(dst, "abcd");
    EXPECT_EQ(CopyText(dst, sizeof(dst), "ab"), 2u);
    EXPECT_STREQ(dst, "ab");
    EXPECT_EQ(CopyText(dst, 0, "ab"), 0u);
}

}  // namespace
