// The comparison page: hostile snapshot text shows as text and never runs, the page's parts for
// each outcome, its pieces stay bounded, and snapshot names become date labels.
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>
#include <vector>

#include "acquisition/http_fetch.h"
#include "support.h"
#include "viewer/diff_page.h"

namespace {

using namespace std::string_literals;

size_t Occurrences(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

struct Compared {
    LineTable older, newer;
    DiffResult result;
    Compared(const std::string& a, const std::string& b)
    {
        DiffTexts(a.data(), a.size(), b.data(), b.size(), &older, &newer, &result);
    }
    std::string Page(const char* charset = "Shift_JIS")
    {
        MemorySink sink;
        DiffPageFacts facts = {"2026-12-09 06:30:05", "2026-12-10 07:00:00", 1234, 5678, charset};
        EXPECT_TRUE(WriteDiffPage(sink, older, newer, result, facts));
        return sink.bytes;
    }
};

TEST(DiffPage, HostileTextIsEscapedAndCopiedByteForByte)
{
    std::string hostile = "</pre><script>alert(1)</script>\n&amp; \"q\" 'a' <b onclick=x>\n"s +
                          "zero\0byte\x01\x1f\x7f\rend\n"s + "\x83\x5C\x95\x5C\x82\xA0\n";
    Compared c("<p>safe</p>\n", "<p>safe</p>\n" + hostile);
    std::string page = c.Page();
    EXPECT_EQ(Occurrences(page, "<script"), 0u);
    EXPECT_EQ(Occurrences(page, "<b "), 0u);
    EXPECT_EQ(Occurrences(page, "<pre>"), 1u);
    EXPECT_EQ(Occurrences(page, "</pre>"), 1u);
    EXPECT_NE(page.find("<ins>+&lt;/pre&gt;&lt;script&gt;alert(1)&lt;/script&gt;</ins>\n"), std::string::npos);
    EXPECT_NE(page.find("<ins>+&amp;amp; &quot;q&quot; &#39;a&#39; &lt;b onclick=x&gt;</ins>\n"), std::string::npos);
    EXPECT_NE(page.find("<ins>+zero&#x2400;byte&#x2401;&#x241F;&#x2421;&#x240D;end</ins>\n"), std::string::npos);
    EXPECT_NE(page.find("<ins>+\x83\x5C\x95\x5C\x82\xA0</ins>\n"), std::string::npos);
    EXPECT_EQ(page.find('\0'), std::string::npos);
    EXPECT_EQ(page.find('\r'), std::string::npos);
}

TEST(DiffPage, ListsHunksWithDatesSizesAndCharset)
{
    Compared c("a\nb\nc\nd\ne\nf\ng\nh\ni\nj\nk\nl\nm\n", "a\nb\nC\nd\ne\nf\ng\nh\ni\nj\nk\nl\nm\nn\n");
    std::string page = c.Page("EUC-JP");
    EXPECT_EQ(page.compare(0, 16, "<!DOCTYPE html>\n"), 0);
    EXPECT_NE(page.find("<meta charset=\"EUC-JP\">"), std::string::npos);
    EXPECT_NE(page.find("<th>Older</th><td>2026-12-09 06:30:05</td><td>1234 bytes</td>"), std::string::npos);
    EXPECT_NE(page.find("<th>Newer</th><td>2026-12-10 07:00:00</td><td>5678 bytes</td>"), std::string::npos);
    EXPECT_NE(page.find("1 line removed, 2 lines added, in 2 places."), std::string::npos);
    EXPECT_NE(page.find("<pre>\n<span class=\"hunk\">@@ -1,6 +1,6 @@</span>\n a\n b\n<del>-c</del>\n<ins>+C</ins>\n d\n e\n f\n<span"),
              std::string::npos);
    EXPECT_NE(page.find("<span class=\"hunk\">@@ -11,3 +11,4 @@</span>\n k\n l\n m\n<ins>+n</ins>\n</pre>\n"),
              std::string::npos);
    EXPECT_EQ(page.compare(page.size() - 16, 16, "</body>\n</html>\n"), 0);
    for (unsigned char ch : page.substr(0, page.find("<pre>")))
        EXPECT_LT(ch, 0x80u);  // the page's own words are ASCII
}

TEST(DiffPage, OutcomesWithoutHunks)
{
    Compared same("x\n", "x\n");
    EXPECT_NE(same.Page().find("<p>The two snapshots have the same text.</p>"), std::string::npos);
    std::string a, b;
    for (int i = 0; i < 6000; ++i) {
        a += "old " + std::to_string(i) + "\n";
        b += "new " + std::to_string(i) + "\n";
    }
    Compared far(a, b);
    ASSERT_EQ(far.result.Outcome(), kDiffTooDifferent);
    std::string page = far.Page();
    EXPECT_NE(page.find("differ too much to list"), std::string::npos);
    EXPECT_NE(page.find("The older is 1234 bytes long, the newer 5678 bytes."), std::string::npos);
    EXPECT_EQ(page.find("<pre>"), std::string::npos);
    DiffResult failed;
    EXPECT_EQ(DiffFilePaths("/nonexistent/a", "/nonexistent/b", &far.older, &far.newer, &failed), kDiffFailed);
    MemorySink sink;
    DiffPageFacts facts = {"", nullptr, 0, 0, "UTF-8"};
    ASSERT_TRUE(WriteDiffPage(sink, far.older, far.newer, failed, facts));
    EXPECT_NE(sink.bytes.find("could not be compared"), std::string::npos);
    EXPECT_NE(sink.bytes.find("<th>Newer</th><td>(no date)</td><td>0 bytes</td>"), std::string::npos);
}

TEST(DiffPage, WritesInBoundedPiecesAndReportsRefusal)
{
    std::string longLine(300000, '<');
    Compared c("a\n", longLine + "\n");
    MemorySink sink;
    DiffPageFacts facts = {"x", "y", 2, 300001, "Shift_JIS"};
    ASSERT_TRUE(WriteDiffPage(sink, c.older, c.newer, c.result, facts));
    EXPECT_EQ(Occurrences(sink.bytes, "&lt;"), 300000u);
    for (size_t piece : sink.pieces)
        EXPECT_LE(piece, static_cast<size_t>(kDiffPageBufferSize));
    TempDir dir;
    ASSERT_TRUE(WriteDiffPageFile(dir.File("page.html").c_str(), c.older, c.newer, c.result, facts));
    EXPECT_EQ(ReadWholeFile(dir.File("page.html")), sink.bytes);
    EXPECT_FALSE(WriteDiffPageFile(dir.File("no/such/folder.html").c_str(), c.older, c.newer, c.result, facts));
    MemorySink refusing;
    refusing.refuse = true;
    EXPECT_FALSE(WriteDiffPage(refusing, c.older, c.newer, c.result, facts));
}

// The page as a browser reads it: decoded from ISO-2022-JP (by iconv) into UTF-8; empty when
// it does not decode.
std::string DecodeIso2022Jp(const std::string& page)
{
    iconv_t cd = iconv_open("UTF-8", "ISO-2022-JP");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return "";
    std::string in = page;
    std::string out(page.size() * 3 + 16, '\0');
    char* from = &in[0];
    char* to = &out[0];
    size_t left = in.size(), room = out.size();
    size_t done = iconv(cd, &from, &left, &to, &room);
    iconv_close(cd);
    return done == static_cast<size_t>(-1) ? "" : out.substr(0, out.size() - room);
}

TEST(DiffPage, Iso2022JpLinesKeepTheirEscapesAndReadBack)
{
    // 価格 (JIS 2A41 334A); 実 (3C42: "<B"), α (2641: "&A") and ◆ (2221: "\"!") hold markup bytes.
    std::string price = "\x1B$B2A3J\x1B(B: 100";
    std::string added = "\x1B$B<B\x1B(B<i>\x1B$B&A\"!\x1B(B & \x07\x1B(J[end]";
    std::string open = "\x1B$B2A3J";  // its line never goes back to ASCII
    Compared c(price + "\n", price + "\n" + added + "\n" + open + "\n" + "x\x1B$(Dy\n");
    std::string page = c.Page("ISO-2022-JP");
    EXPECT_NE(page.find("<meta charset=\"ISO-2022-JP\">"), std::string::npos);
    EXPECT_NE(page.find(" \x1B$B2A3J\x1B(B: 100\n"), std::string::npos) << page;
    EXPECT_NE(page.find("<ins>+\x1B$B<B\x1B(B&lt;i&gt;\x1B$B&A\"!\x1B(B &amp; &#x2407;\x1B(J[end]\x1B(B</ins>\n"),
              std::string::npos)
        << page;
    EXPECT_NE(page.find("<ins>+\x1B$B2A3J\x1B(B</ins>\n"), std::string::npos);
    EXPECT_NE(page.find("<ins>+x&#x241B;$(Dy</ins>\n"), std::string::npos);  // a set browsers do not know
    EXPECT_EQ(Occurrences(page, "&#x241B;"), 1u);
    std::string text = DecodeIso2022Jp(page);
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.find(" \xE4\xBE\xA1\xE6\xA0\xBC: 100\n"), std::string::npos) << text;
    EXPECT_NE(text.find("<ins>+\xE5\xAE\x9F&lt;i&gt;\xCE\xB1\xE2\x97\x86 &amp; &#x2407;[end]</ins>\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("<ins>+\xE4\xBE\xA1\xE6\xA0\xBC</ins>\n"), std::string::npos) << text;
}

TEST(DiffPage, UnsafeCharsetNamesAreRefused)
{
    Compared c("a\n", "b\n");
    for (const char* name : {"", "utf-8\"><script>", "a b", "x/y", "0123456789012345678901234567890123456789x"}) {
        MemorySink sink;
        DiffPageFacts facts = {"x", "y", 2, 2, name};
        EXPECT_FALSE(WriteDiffPage(sink, c.older, c.newer, c.result, facts)) << name;
        EXPECT_TRUE(sink.bytes.empty());
    }
}

std::string Label(const std::string& name, size_t size = kSnapshotLabelSize, bool* stamp = nullptr)
{
    std::vector<char> dst(size + 1, '#');
    bool isStamp = MakeSnapshotLabel(name.c_str(), dst.data(), size);
    if (stamp != nullptr)
        *stamp = isStamp;
    EXPECT_EQ(dst[size], '#');  // nothing past the buffer
    return dst.data();
}

TEST(DiffPage, SnapshotNamesBecomeDateLabels)
{
    // 2026年12月09日06時30分05秒.htm
    const std::string stamp = "2026\x94\x4E" "12\x8C\x8E" "09\x93\xFA" "06\x8E\x9E" "30\x95\xAA" "05\x95\x62" ".htm";
    bool isStamp = false;
    EXPECT_EQ(Label(stamp, kSnapshotLabelSize, &isStamp), "2026-12-09 06:30:05");
    EXPECT_TRUE(isStamp);
    EXPECT_EQ(Label("C:\\data\\\x95\x5C\\" + stamp), "2026-12-09 06:30:05");  // 0x5C as a trail byte stays
    EXPECT_EQ(Label("data/7/" + stamp.substr(0, stamp.size() - 4) + ".HTM"), "2026-12-09 06:30:05");
    EXPECT_EQ(Label("987\x94\x4E" "01\x8C\x8E" "02\x93\xFA" "03\x8E\x9E" "04\x95\xAA" "05\x95\x62.htm"),
              "987-01-02 03:04:05");
    EXPECT_EQ(Label(stamp, 19, &isStamp), "");  // the label needs 20 bytes
    EXPECT_FALSE(isStamp);
    EXPECT_EQ(Label(stamp, 20), "2026-12-09 06:30:05");
    // Not stamps: an ASCII-safe copy, cut to fit.
    EXPECT_EQ(Label("reference.htm", kSnapshotLabelSize, &isStamp), "reference.htm");
    EXPECT_FALSE(isStamp);
    EXPECT_EQ(Label(stamp.substr(0, stamp.size() - 1)), "2026?12?09?06?30?05?.ht");
    EXPECT_EQ(Label(stamp + "l"), "2026?12?09?06?30?05?.html");
    EXPECT_EQ(Label("2026\x94\x4E" "1\x8C\x8E.htm"), "2026?1?.htm");
    EXPECT_EQ(Label("a\x01<b>\x83", 6), "a?<b>");
    EXPECT_EQ(Label("", 4), "");
}

}  // namespace
