// The options section read the way the profile reader reads it, junk counting as the default;
// the logon command and its comparison with the program's path; the case-folded hash that names
// a data folder's mutex.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text_hash.h"
#include "registry/program_options.h"
#include "support.h"

namespace {

ProgramOptions Parse(const std::vector<std::string>& lines)
{
    std::vector<char> text = SectionText(lines);
    return ParseProgramOptions(text.data(), text.size() - 1);
}

void ExpectDefaults(const ProgramOptions& options)
{
    EXPECT_FALSE(options.startChecking);
    EXPECT_FALSE(options.startHidden);
    EXPECT_EQ(options.passMinutes, 1);
}

TEST(ProgramOptions, AnEmptyOrForeignSectionGivesTodaysBehaviour)
{
    ExpectDefaults(Parse({}));
    ExpectDefaults(Parse({"count=3", "name1=a", "startchecking=1", "hidden=1", "intervals=5"}));
}

TEST(ProgramOptions, StoredValuesAreReadBlanksQuotesAndLetterCaseAside)
{
    ProgramOptions o = Parse({"startcheck=1", "starthidden=1", "interval=30"});
    EXPECT_TRUE(o.startChecking);
    EXPECT_TRUE(o.startHidden);
    EXPECT_EQ(o.passMinutes, 30);

    o = Parse({"  StartCheck = \"1\" ", "STARTHIDDEN='1'", "Interval=\t\"60\"\r"});
    EXPECT_TRUE(o.startChecking);
    EXPECT_TRUE(o.startHidden);
    EXPECT_EQ(o.passMinutes, 60);

    for (int minutes : {1, 5, 15, 30, 60})
        EXPECT_EQ(Parse({"interval=" + std::to_string(minutes)}).passMinutes, minutes);
}

TEST(ProgramOptions, JunkAndOutOfRangeValuesCountAsTheDefault)
{
    for (const char* flag : {"", "2", "-1", "01", "1x", "yes", "true", "\"1", "1\"", "\"\"", "１",
                             "11111111111111111111111111"}) {
        SCOPED_TRACE(flag);
        EXPECT_FALSE(Parse({std::string("startcheck=") + flag}).startChecking);
        EXPECT_FALSE(Parse({std::string("starthidden=") + flag}).startHidden);
    }
    for (const char* minutes : {"", "0", "2", "10", "-5", "05", "5.0", "5 min", "61", "600", "1440",
                                "4294967301", "60000000000000", "\"5", "abc"}) {
        SCOPED_TRACE(minutes);
        EXPECT_EQ(Parse({std::string("interval=") + minutes}).passMinutes, 1);
    }
    // A junk value of one key leaves the others as stored.
    ProgramOptions o = Parse({"startcheck=on", "starthidden=1", "interval=7"});
    EXPECT_FALSE(o.startChecking);
    EXPECT_TRUE(o.startHidden);
    EXPECT_EQ(o.passMinutes, 1);
}

TEST(ProgramOptions, TheFirstOfRepeatedKeysWinsEvenWhenItIsJunk)
{
    ProgramOptions o = Parse({"interval=15", "startcheck=0", "INTERVAL=5", "startcheck=1"});
    EXPECT_EQ(o.passMinutes, 15);
    EXPECT_FALSE(o.startChecking);
    EXPECT_EQ(Parse({"interval=junk", "interval=5"}).passMinutes, 1);
    // Lines without "=" are no keys.
    EXPECT_EQ(Parse({"interval", "interval=5"}).passMinutes, 5);
}

TEST(ProgramOptions, WrittenTextsReadBackAsTheSameOptions)
{
    for (int i = 0; i < kPassIntervalCount; ++i) {
        int minutes = kPassIntervals[i];
        EXPECT_EQ(PassIntervalIndex(minutes), i);
        for (bool on : {false, true}) {
            ProgramOptions o = Parse({std::string("startcheck=") + OptionFlagText(on),
                                      std::string("starthidden=") + OptionFlagText(!on),
                                      std::string("interval=") + PassIntervalText(minutes)});
            EXPECT_EQ(o.startChecking, on);
            EXPECT_EQ(o.startHidden, !on);
            EXPECT_EQ(o.passMinutes, minutes);
        }
    }
    // A number that is not offered is shown, and would be written, as the default.
    EXPECT_EQ(PassIntervalIndex(7), 0);
    EXPECT_STREQ(PassIntervalText(7), "1");
}

TEST(LogonCommand, IsThePathInQuotesAndNeverCutShort)
{
    char command[32];
    ASSERT_TRUE(MakeLogonCommand(command, sizeof command, "C:\\Tools\\Sitewake.exe"));
    EXPECT_STREQ(command, "\"C:\\Tools\\Sitewake.exe\"");
    // 22 bytes of path and two quotes need 25 bytes with the terminating zero.
    EXPECT_FALSE(MakeLogonCommand(command, 24, "C:\\Tools\\Sitewake.exe\\x"));
    EXPECT_STREQ(command, "");
}

TEST(LogonCommand, NamesTheProgramWithoutRegardToQuotesAndLetterCase)
{
    const char* exe = "C:\\Program Files\\Sitewake\\Sitewake.exe";
    EXPECT_TRUE(LogonCommandNames("\"C:\\Program Files\\Sitewake\\Sitewake.exe\"", exe));
    EXPECT_TRUE(LogonCommandNames("c:\\program files\\SITEWAKE\\sitewake.EXE", exe));
    EXPECT_TRUE(LogonCommandNames("  \"C:\\Program Files\\Sitewake\\Sitewake.exe\"  ", exe));

    EXPECT_FALSE(LogonCommandNames("\"D:\\Program Files\\Sitewake\\Sitewake.exe\"", exe));
    EXPECT_FALSE(LogonCommandNames("\"C:\\Program Files\\Sitewake\\Sitewake.exe\" /min", exe));
    EXPECT_FALSE(LogonCommandNames("\"C:\\Program Files\\Sitewake\\Sitewake.ex\"", exe));
    EXPECT_FALSE(LogonCommandNames("", exe));
    EXPECT_FALSE(LogonCommandNames("\"\"", ""));
}

TEST(LogonCommand, SecondBytesOfDoubleByteCharactersKeepTheirCase)
{
    // ア is 83 41 and ツ is 83 63: the same letter to a byte-wise case fold, two characters here.
    const char* exe = "C:\\\x83\x41\\Sitewake.exe";
    EXPECT_TRUE(LogonCommandNames("\"c:\\\x83\x41\\SITEWAKE.EXE\"", exe));
    EXPECT_FALSE(LogonCommandNames("\"C:\\\x83\x61\\Sitewake.exe\"", exe));
    // 表 (95 5C) ends in a backslash's byte and stays one character.
    EXPECT_TRUE(LogonCommandNames("\"C:\\\x95\x5c\\Sitewake.exe\"", "C:\\\x95\x5c\\Sitewake.exe"));
    EXPECT_FALSE(LogonCommandNames("\"C:\\\x95\x5c\\Sitewake.exe\"", "C:\\\x95\x7c\\Sitewake.exe"));
}

std::string HexOf(std::initializer_list<const char*> pieces)
{
    CaseFoldedHash hash;
    for (const char* piece : pieces)
        hash.Add(piece);
    char hex[CaseFoldedHash::kHexSize];
    hash.ToHex(hex);
    return hex;
}

TEST(CaseFoldedHash, OneNameForEverySpellingOfAPathInLetterCase)
{
    std::string name = HexOf({"C:\\Tools\\Sitewake", "\\data"});
    EXPECT_EQ(name.size(), 16u);
    EXPECT_EQ(name.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(HexOf({"c:\\TOOLS\\sitewake\\DATA"}), name);
    EXPECT_NE(HexOf({"C:\\Tools\\Sitewake2\\data"}), name);
    EXPECT_NE(HexOf({"C:\\Tools\\Sitewake\\data\\"}), name);
    // The FNV-1a value of a known text, so that the names stay what earlier copies made.
    CaseFoldedHash hash;
    hash.Add("A");
    EXPECT_EQ(hash.Value(), 0xaf63dc4c8601ec8cull);  // FNV-1a 64 of "a"
    EXPECT_EQ(HexOf({}), "cbf29ce484222325");
}

TEST(CaseFoldedHash, SecondBytesOfDoubleByteCharactersAreNotFolded)
{
    EXPECT_NE(HexOf({"C:\\\x83\x41"}), HexOf({"C:\\\x83\x61"}));
    EXPECT_EQ(HexOf({"C:\\\x83\x41X"}), HexOf({"c:\\\x83\x41x"}));
}

}  // namespace
