// The readable text of pages and the "text only" comparison, on real page files stored the way
// the fetch stores them (every LF as CR LF). Pairs of fetches that differ only in markup compare
// equal on their text and different as whole pages; real changes of the text differ both ways.
#include <gtest/gtest.h>

#include <stdint.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "acquisition/files_differ.h"
#include "acquisition/visible_text.h"
#include "acquisition/visible_text_compare.h"
#include "support.h"

namespace {

using namespace std::string_literals;

// The page's text, fed to the extractor in pieces of the given size.
std::string Extract(const std::string& page, CharsetKind kind = kCharsetShiftJis, size_t piece = SIZE_MAX)
{
    MemorySink sink;
    VisibleTextFilter filter(kind, sink);
    for (size_t i = 0; i < page.size(); i += piece)
        EXPECT_TRUE(filter.Put(page.data() + i, std::min(piece, page.size() - i)));
    EXPECT_TRUE(filter.Finish());
    return sink.bytes;
}

// The page as the fetch stores it: each LF as CR LF.
std::string Stored(const std::string& page)
{
    std::string out;
    for (char c : page)
        out += c == '\n' ? "\r\n" : std::string(1, c);
    return out;
}

// A page of the kind that changes its markup on every fetch.
std::string Page(const std::string& token, int scriptNumber, const std::string& body)
{
    return "<!DOCTYPE html>\n<html><head><meta charset=\"Shift_JIS\">\n<title>Weekly news</title>\n"
           "<style>.ad { width: " + std::to_string(scriptNumber % 97) + "px }</style>\n"
           "<script>var cacheBust = " + std::to_string(scriptNumber) + "; if (a < b) run('</div>');</script>\n"
           "</head><body>\n<form action=\"/post\"><input type=\"hidden\" name=\"token\" value=\"" + token +
           "\"></form>\n<!-- served by node " + std::to_string(scriptNumber % 7) + " -->\n" + body +
           "\n</body></html>\n";
}

const char kBody[] =
    "<h1>Price list</h1>\n<p>Apples are <b>cheap</b> this week &amp; pears &lt; 100 yen.</p>\n"
    "<ul><li>first item</li><li>second item</li></ul>\n"
    "<table><tr><td>north</td><td>12</td></tr><tr><td>south</td><td>34</td></tr></table>\n";

std::string Reindented(std::string body)
{
    std::string out;
    for (char c : body)
        out += c == '>' ? ">\n      " : std::string(1, c);
    return out;
}

struct Pair {
    const char* name;
    std::string fresh;
    std::string old;
    int textResult;  // what the text comparison says; the whole-page comparison says 1 for all
};

std::vector<Pair> Pairs()
{
    std::string base = Page("a81f", 1001, kBody);
    std::string body = kBody;
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string b = body;
        b.replace(b.find(from), from.size(), to);
        return Page("a81f", 1001, b);
    };
    return {
        {"session token in a hidden input", Page("77c2", 1001, kBody), base, 0},
        {"number in a script and a style", Page("a81f", 2002, kBody), base, 0},
        {"re-indented markup", Page("a81f", 1001, Reindented(kBody)), base, 0},
        {"changed comment", replaced("<h1>", "<!-- edited --><h1>"), base, 0},
        {"attribute order and values", replaced("<td>north</td>", "<td class=\"x\" id='n'>north</td>"),
         replaced("<td>north</td>", "<td id=n class=\"y > z\">north</td>"), 0},
        {"received CR LF against LF", Stored(base), base, 0},
        {"changed word in a paragraph", replaced("cheap", "dear"), base, 1},
        {"added list item", replaced("</ul>", "<li>third item</li></ul>"), base, 1},
        {"changed table cell", replaced("<td>34</td>", "<td>35</td>"), base, 1},
        {"changed entity", replaced("&lt; 100", "&gt; 100"), base, 1},
        {"words moved across a block edge", replaced("first item</li><li>second", "first</li><li>item second"),
         base, 1},
    };
}

class VisibleTextPairTest : public ::testing::TestWithParam<size_t> {
protected:
    void Write(const Pair& pair)
    {
        WriteWholeFile(New(), Stored(pair.fresh));
        WriteWholeFile(Old(), Stored(pair.old));
    }
    std::string New() const { return m_dir.File("NEW.TEMP"); }
    std::string Old() const { return m_dir.File("Old.TEMP"); }
    int CompareText(const std::string& a, const std::string& b)
    {
        return CompareVisibleTextInBlocks(a.c_str(), b.c_str(), GetParam());
    }

    TempDir m_dir;
};

TEST_P(VisibleTextPairTest, TextModeIgnoresMarkupChangesTheWholePageDoesNot)
{
    for (const Pair& pair : Pairs()) {
        Write(pair);
        EXPECT_EQ(CompareText(New(), Old()), pair.textResult) << pair.name;
        EXPECT_EQ(CompareText(Old(), New()), pair.textResult) << pair.name;
        EXPECT_EQ(CompareText(New(), New()), 0) << pair.name;
        EXPECT_EQ(CompareTextFiles(New().c_str(), Old().c_str()), 1) << pair.name;
    }
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, VisibleTextPairTest, ::testing::Values(1, 3, 64, 4096, 64 * 1024));

TEST(VisibleText, LeavesOutMarkupScriptsStylesAndComments)
{
    struct Case {
        const char* page;
        const char* text;
    } cases[] = {
        {"<p>one <b>two</b>  three</p>", "one two three\n"},
        {"a<span>b</span>c<img src=x>d", "abcd\n"},
        {"<div>\n   left   \n</div>\n\n\n<div>right</div>", "left\nright\n"},
        {"x<br>y<br/>z<BR CLEAR=all>w", "x\ny\nz\nw\n"},
        {"<ul><li>a</li><li>b</li></ul><h2>c</h2><td>d</td><th>e</th>", "a\nb\nc\nd\ne\n"},
        {"k<script>document.write('<p>no</p>')</script>l", "kl\n"},
        {"k<SCRIPT type=x>a</ScRiPt >l<style>p{}</STYLE>m<noscript>n</noscript>o", "klmo\n"},
        {"<script>a</scripts> b </script>c", "c\n"},
        {"<script>if (a</b) x = '</script'</script>d", "d\n"},
        {"a<!-- <p>hidden</p> -->b<!---->c<!-->d<!--->e", "abcde\n"},
        {"a<!-- x -- y --->b", "ab\n"},
        {"<!DOCTYPE html><?xml version=\"1.0\"?>a<![CDATA[ x > y ]]>b<!bogus>c", "abc\n"},
        {"<a title=\"1 > 0\" alt='<p>'>t</a><a b=c>d>e</a>", "td>e\n"},
        {"a < b, 3<4, <3, <=, <", "a < b, 3<4, <3, <=, <\n"},
        {"x</>y</ z>w", "xyw\n"},
        {"\xE3\x81\x82<p>\x82\xA0 \x82\xA0</p>", "\xE3\x81\x82\n\x82\xA0 \x82\xA0\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Extract(c.page), c.text) << c.page;
    EXPECT_EQ(Extract("a\0b<p>c"s), "ab\nc\n");
}

TEST(VisibleText, BrokenMarkupIsLeftOutToTheEnd)
{
    EXPECT_EQ(Extract("text<p class=\"open"), "text\n");
    EXPECT_EQ(Extract("text<p class=open> more <b"), "text\nmore\n");
    EXPECT_EQ(Extract("text<!-- never closed <p>x</p>"), "text\n");
    EXPECT_EQ(Extract("text<script>never closed</p>"), "text\n");
    EXPECT_EQ(Extract("text<![CDATA[ open"), "text\n");
    EXPECT_EQ(Extract("text<!DOCTYPE"), "text\n");
    EXPECT_EQ(Extract("text <"), "text <\n");
    EXPECT_EQ(Extract(std::string(100000, '<')), std::string(100000, '<') + "\n");
    std::string longName = "<" + std::string(5000, 'x') + " a=1>after";
    EXPECT_EQ(Extract(longName), "after\n");
}

TEST(VisibleText, ReferencesCountAsTheCharactersTheyName)
{
    struct Case {
        const char* page;
        const char* text;
    } cases[] = {
        {"&amp; &lt; &gt; &quot; &apos; &AMP;", "& < > \" ' &\n"},
        {"&lt;p&gt;not a tag&lt;/p&gt;", "<p>not a tag</p>\n"},
        {"a&nbsp;&nbsp; b&#160;c&#xA0;", "a b c\n"},
        {"&#65;&#x42;&#X43;&#0068;&#x000045", "ABCDE\n"},
        {"&amp &lt;x &ampx &copy", "& <x &ampx &#169;\n"},
        {"&unknown; &unknown &; & x &#; &#x; &#xg; &#", "&unknown; &unknown &; & x &#; &#x; &#xg; &#\n"},
        {"&#0; &#xD800; &#1114112; &#99999999999999999999;", "&#65533; &#65533; &#65533; &#65533;\n"},
        {"&#150;&#128;&#129;", "&#8211;&#8364;&#129;\n"},
        {"&#128512; &#x1F600;", "&#128512; &#128512;\n"},
        {"a&#10;&#9;&#32;b", "a b\n"},
    };
    for (const Case& c : cases)  // a charset with nothing beyond ASCII: every other letter in decimal
        EXPECT_EQ(Extract(c.page, kCharsetOther), c.text) << c.page;
    std::string longName = "&" + std::string(40, 'a') + ";";
    EXPECT_EQ(Extract(longName), longName + "\n");
}

TEST(VisibleText, NumericReferencesAreWrittenInThePagesCharset)
{
    // HIRAGANA A (U+3042) as a literal, in decimal and in hexadecimal.
    EXPECT_EQ(Extract("\x82\xA0|&#12354;|&#x3042;", kCharsetShiftJis), "\x82\xA0|\x82\xA0|\x82\xA0\n");
    EXPECT_EQ(Extract("\xA4\xA2|&#12354;|&#x3042;", kCharsetEucJp), "\xA4\xA2|\xA4\xA2|\xA4\xA2\n");
    EXPECT_EQ(Extract("\xE3\x81\x82|&#12354;|&#x3042;", kCharsetUtf8), "\xE3\x81\x82|\xE3\x81\x82|\xE3\x81\x82\n");
    EXPECT_EQ(Extract("&#128512;", kCharsetUtf8), "\xF0\x9F\x98\x80\n");
    EXPECT_EQ(Extract("&#233;", kCharsetOther), "&#233;\n");
    // KANJI "table" (U+8868): its Shift_JIS trail byte is 0x5C, which is no markup either.
    EXPECT_EQ(Extract("&#x8868;<p>\x95\x5C", kCharsetShiftJis), "\x95\x5C\n\x95\x5C\n");

    TempDir dir;
    std::string literal = dir.File("literal.htm");
    std::string reference = dir.File("reference.htm");
    const char* heads[] = {"<meta charset=\"Shift_JIS\">", "<meta charset=\"EUC-JP\">", "<meta charset=\"UTF-8\">"};
    const char* letters[] = {"\x82\xA0", "\xA4\xA2", "\xE3\x81\x82"};
    for (int i = 0; i < 3; ++i) {
        WriteWholeFile(literal, Stored(std::string(heads[i]) + "\n<p>" + letters[i] + "</p>\n"));
        WriteWholeFile(reference, Stored(std::string(heads[i]) + "\n<p>&#12354;</p>\n"));
        EXPECT_EQ(CompareVisibleText(literal.c_str(), reference.c_str()), 0) << heads[i];
        EXPECT_EQ(CompareTextFiles(literal.c_str(), reference.c_str()), 1) << heads[i];
    }
    // Each file is read in its own charset: the same reference in a UTF-8 and an EUC-JP page.
    WriteWholeFile(literal, Stored(std::string(heads[1]) + "\n<p>&#12354;</p>\n"));
    WriteWholeFile(reference, Stored(std::string(heads[2]) + "\n<p>&#12354;</p>\n"));
    EXPECT_EQ(CompareVisibleText(literal.c_str(), reference.c_str()), 1);
}

TEST(VisibleText, Iso2022JpDoubleByteCharactersAreNeverMarkup)
{
    const std::string jis = "\x1B$B";
    const std::string ascii = "\x1B(B";
    // 0x24 0x3C and 0x24 0x26 are kana whose bytes equal "$<" and "$&".
    EXPECT_EQ(Extract(jis + "$<$&" + ascii + "<p>x", kCharsetIso2022Jp), jis + "$<$&" + ascii + "\nx\n");
    // A tag between two kana and an ASCII run in the middle: one designation per change.
    EXPECT_EQ(Extract(jis + "$\"" + ascii + "<b>" + jis + "$$" + ascii + " a " + jis + "$&", kCharsetIso2022Jp),
              jis + "$\"$$" + ascii + " a " + jis + "$&" + ascii + "\n");
    // JIS-Roman counts as ASCII; a broken escape sequence is dropped.
    EXPECT_EQ(Extract("a\x1B(Jb\x1B\x01" "c", kCharsetIso2022Jp), "ab\x01" "c\n");
    // Read as Shift_JIS the same bytes are markup.
    EXPECT_EQ(Extract(jis + "$<p>x", kCharsetShiftJis), "\x1B$B$\nx\n");
}

TEST(VisibleText, SameTextWhateverThePieceSizes)
{
    std::string page;
    for (int i = 0; i < 300; ++i)
        page += Page("tok" + std::to_string(i), i, kBody) + "&#12354;&nbsp;&amp;x&#x1F600;\x82\xA0<!-- c -->";
    const std::string iso = "\x1B$B$\"$<\x1B(B<p title='\x1B$B$>\x1B(B'>a&amp;b</p>\x1B$B$&";
    for (CharsetKind kind : {kCharsetShiftJis, kCharsetUtf8, kCharsetIso2022Jp}) {
        std::string input = kind == kCharsetIso2022Jp ? iso + page + iso : page;
        std::string whole = Extract(input, kind);
        ASSERT_GT(whole.size(), 1000u);
        for (size_t piece : {1, 2, 3, 7, 64, 4095, 70000})
            EXPECT_EQ(Extract(input, kind, piece), whole) << piece;
        std::mt19937 random(7);
        MemorySink sink;
        VisibleTextFilter filter(kind, sink);
        for (size_t i = 0; i < input.size();) {
            size_t n = std::min<size_t>(random() % 300 + 1, input.size() - i);
            filter.Put(input.data() + i, n);
            i += n;
        }
        filter.Finish();
        EXPECT_EQ(sink.bytes, whole);
    }
}

TEST(VisibleText, FilterReportsASinkThatRefuses)
{
    class RefusingSink final : public ByteSink {
    public:
        bool Put(const char*, size_t) override { return false; }
    } refusing;
    VisibleTextFilter filter(kCharsetShiftJis, refusing);
    std::string page(100000, 'x');
    EXPECT_FALSE(filter.Put(page.data(), page.size()));
    EXPECT_FALSE(filter.Finish());
    VisibleTextFilter quiet(kCharsetShiftJis, refusing);
    EXPECT_TRUE(quiet.Put("<p>", 3));  // nothing written yet
    EXPECT_TRUE(quiet.Finish());
}

TEST(VisibleTextFiles, MissingFilesAndTheEndOfText)
{
    TempDir dir;
    std::string present = dir.File("present.htm");
    std::string other = dir.File("other.htm");
    std::string missing = dir.File("missing.htm");
    WriteWholeFile(present, "<p>x</p>\r\n");
    EXPECT_EQ(CompareVisibleText(missing.c_str(), present.c_str()), 0);
    EXPECT_EQ(CompareVisibleText(present.c_str(), missing.c_str()), 1);
    EXPECT_EQ(CompareVisibleText(missing.c_str(), missing.c_str()), 0);
    MemorySink sink;
    EXPECT_FALSE(ExtractVisibleTextFile(missing.c_str(), sink));

    // 0x1A ends a page file's text, as in the whole-page comparison; an empty text is one too.
    WriteWholeFile(present, "<p>x</p>\r\n\x1A<p>junk</p>");
    WriteWholeFile(other, "<div>x</div>");
    EXPECT_EQ(CompareVisibleText(present.c_str(), other.c_str()), 0);
    WriteWholeFile(other, "<p>x</p><p>y</p>");
    EXPECT_EQ(CompareVisibleText(present.c_str(), other.c_str()), 1);
    WriteWholeFile(present, "");
    WriteWholeFile(other, "<html><!-- nothing --></html>\r\n");
    EXPECT_EQ(CompareVisibleText(present.c_str(), other.c_str()), 0);
    WriteWholeFile(other, "<p>.</p>");
    EXPECT_EQ(CompareVisibleText(present.c_str(), other.c_str()), 1);
}

TEST(VisibleTextFiles, LargePagesDifferingLateOrNotAtAll)
{
    TempDir dir;
    std::string a = dir.File("a.htm");
    std::string b = dir.File("b.htm");
    std::string rows;
    for (int i = 0; i < 60000; ++i)
        rows += "<tr class=\"r" + std::to_string(i % 3) + "\"><td>" + std::to_string(i * 7919) +
                "</td><td>\x95\x5C &amp; \x83\x5C</td></tr>\n";
    WriteWholeFile(a, Stored(Page("one", 1, rows + "<p>last</p>")));
    WriteWholeFile(b, Stored(Page("two", 2, rows + "<p>last</p>")));
    EXPECT_EQ(CompareVisibleText(a.c_str(), b.c_str()), 0);
    WriteWholeFile(b, Stored(Page("two", 2, rows + "<p>Last</p>")));
    EXPECT_EQ(CompareVisibleText(a.c_str(), b.c_str()), 1);
    WriteWholeFile(b, Stored(Page("two", 2, rows + "<p>last</p><p>more</p>")));
    EXPECT_EQ(CompareVisibleText(a.c_str(), b.c_str()), 1);
    EXPECT_EQ(CompareVisibleText(b.c_str(), a.c_str()), 1);

    MemorySink sink;
    ASSERT_TRUE(ExtractVisibleTextFile(a.c_str(), sink));
    EXPECT_EQ(sink.bytes, Extract(Stored(Page("one", 1, rows + "<p>last</p>"))));
    EXPECT_EQ(sink.bytes.substr(0, 12), "Weekly news\n");
    EXPECT_EQ(sink.bytes.substr(sink.bytes.size() - 5), "last\n");
}

}  // namespace
