// The charset a page declares: the usual forms of <meta>, an XML declaration and a byte order
// mark, in any letter case and quoting; and hostile declarations, which give the default or a
// later sound declaration, never a name with markup in it.
#include <gtest/gtest.h>

#include <string>

#include "acquisition/page_charset.h"
#include "support.h"

namespace {

struct Case {
    std::string head;
    const char* name;
    CharsetKind kind;
    bool declared;
};

PageCharset Sniff(const std::string& head)
{
    PageCharset charset;
    SniffPageCharset(head.data(), head.size(), &charset);
    return charset;
}

void Expect(const Case& c)
{
    PageCharset charset = Sniff(c.head);
    EXPECT_STREQ(charset.name, c.name) << c.head.substr(0, 200);
    EXPECT_EQ(charset.kind, c.kind) << c.head.substr(0, 200);
    EXPECT_EQ(charset.declared, c.declared) << c.head.substr(0, 200);
}

const CharsetKind kSjis = kCharsetShiftJis;

TEST(PageCharset, FindsTheUsualDeclarations)
{
    const Case cases[] = {
        {"<html><head><meta charset=\"utf-8\"><title>x</title>", "utf-8", kCharsetUtf8, true},
        {"<META CHARSET=EUC-JP>", "EUC-JP", kCharsetEucJp, true},
        {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">", "Shift_JIS", kSjis, true},
        {"<meta content='text/html;charset=windows-31j' http-equiv=content-type>", "windows-31j", kSjis, true},
        {"<META HTTP-EQUIV=\"CONTENT-TYPE\" CONTENT=\"TEXT/HTML; CHARSET=X-SJIS\">", "X-SJIS", kSjis, true},
        {"<meta http-equiv=Content-Type content='text/html; charset = \"MS932\"'>", "MS932", kSjis, true},
        {"<meta\n\tcharset = ' utf-8 ' />", "utf-8", kCharsetUtf8, true},
        {"<meta name=viewport content=\"width=device-width\"><meta charset=iso-2022-jp>", "iso-2022-jp",
         kCharsetIso2022Jp, true},
        {"<meta charset=\"ISO-8859-1\">", "ISO-8859-1", kCharsetOther, true},
        {"<meta charset=\"utf-16le\">", "UTF-8", kCharsetUtf8, true},
        {"<?xml version=\"1.0\" encoding=\"EUC-JP\"?>\n<html>", "EUC-JP", kCharsetEucJp, true},
        {"\xEF\xBB\xBF<meta charset=\"Shift_JIS\">", "UTF-8", kCharsetUtf8, true},
        {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=cp932\">" "<meta charset=utf-8>", "cp932",
         kSjis, true},
        {"<html><body>no declaration</body></html>", "Shift_JIS", kSjis, false},
        {"", "Shift_JIS", kSjis, false},
    };
    for (const Case& c : cases)
        Expect(c);
}

TEST(PageCharset, SkipsWhatIsNoDeclaration)
{
    const Case cases[] = {
        {"<!-- <meta charset=\"utf-8\"> --><meta charset=\"euc-jp\">", "euc-jp", kCharsetEucJp, true},
        {"<img alt='<meta charset=\"utf-8\">'><meta charset=euc-jp>", "euc-jp", kCharsetEucJp, true},
        {"<meta content=\"text/html; charset=utf-8\">", "Shift_JIS", kSjis, false},
        {"<meta http-equiv=refresh content=\"0; charset=utf-8\">", "Shift_JIS", kSjis, false},
        {"<metadata charset=utf-8>", "Shift_JIS", kSjis, false},
        {"<script>var s = '<meta charset=\"utf-8\">';</script>", "utf-8", kCharsetUtf8, true},  // as browsers do
    };
    for (const Case& c : cases)
        Expect(c);
}

TEST(PageCharset, HostileDeclarationsGiveABoundedSoundAnswer)
{
    std::string name40(40, 'a');
    const Case cases[] = {
        {"<meta charset=\"" + name40 + "\">", name40.c_str(), kCharsetOther, true},
        {"<meta charset=\"" + name40 + "b\">", "Shift_JIS", kSjis, false},
        {"<meta charset=\"" + std::string(100000, 'x') + "\">", "Shift_JIS", kSjis, false},
        {"<meta charset=\"<script>alert(1)</script>\">", "Shift_JIS", kSjis, false},
        {"<meta charset=\"utf-8><p>text</p>", "Shift_JIS", kSjis, false},
        {"<meta charset='utf-8\">", "Shift_JIS", kSjis, false},
        {"<meta charset=\"\"><meta charset=euc-jp>", "euc-jp", kCharsetEucJp, true},
        {"<meta charset=\"utf 8\"><meta charset=euc-jp>", "euc-jp", kCharsetEucJp, true},
        {"<meta http-equiv=content-type content=\"text/html; charset=\"><meta charset=utf8>", "utf8",
         kCharsetUtf8, true},
        {"<meta http-equiv=content-type content=\"charset='utf-8\"", "Shift_JIS", kSjis, false},
        {"<meta http-equiv=content-type content=\"" + std::string(300, ' ') + "charset=utf-8\">", "Shift_JIS",
         kSjis, false},
        {"<!-- never closed <meta charset=utf-8>", "Shift_JIS", kSjis, false},
        {std::string(kCharsetSniffBytes, ' ') + "<meta charset=utf-8>", "Shift_JIS", kSjis, false},
        {std::string(kCharsetSniffBytes - 20, ' ') + "<meta charset=utf-8>", "utf-8", kCharsetUtf8, true},
        {std::string(kCharsetSniffBytes - 10, ' ') + "<meta charset=utf-8>", "Shift_JIS", kSjis, false},
        {"<?xml encoding=\"EUC-JP\"", "Shift_JIS", kSjis, false},
        {std::string(3000, '<') + "<meta charset=utf-8>", "utf-8", kCharsetUtf8, true},
    };
    for (const Case& c : cases)
        Expect(c);
}

TEST(PageCharset, KnowsTheJapaneseFamilies)
{
    for (const char* name : {"Shift_JIS", "shift-jis", "SJIS", "x-sjis", "Windows-31J", "MS932", "CP932", "MS_Kanji"})
        EXPECT_EQ(ClassifyCharsetName(name), kCharsetShiftJis) << name;
    for (const char* name : {"EUC-JP", "x-euc-jp", "eucJP"})
        EXPECT_EQ(ClassifyCharsetName(name), kCharsetEucJp) << name;
    for (const char* name : {"UTF-8", "utf8"})
        EXPECT_EQ(ClassifyCharsetName(name), kCharsetUtf8) << name;
    EXPECT_EQ(ClassifyCharsetName("ISO-2022-JP"), kCharsetIso2022Jp);
    for (const char* name : {"", "utf-88", "shift_jis2004", "euc-kr", "windows-1252"})
        EXPECT_EQ(ClassifyCharsetName(name), kCharsetOther) << name;
}

TEST(PageCharset, ReadsTheStartOfAFile)
{
    TempDir dir;
    std::string page = dir.File("page.htm");
    WriteWholeFile(page, "<html>\r\n<head>\r\n<meta charset=\"EUC-JP\">\r\n" + std::string(100000, 'x'));
    PageCharset charset;
    SniffFileCharset(page.c_str(), &charset);
    EXPECT_STREQ(charset.name, "EUC-JP");
    EXPECT_EQ(charset.kind, kCharsetEucJp);
    SniffFileCharset(dir.File("missing.htm").c_str(), &charset);
    EXPECT_STREQ(charset.name, "Shift_JIS");
    EXPECT_FALSE(charset.declared);
}

}  // namespace
