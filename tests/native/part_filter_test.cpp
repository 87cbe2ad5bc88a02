// The part of a page that counts (a range, ignored lines) on real page files: the verdicts of the
// comparison, the lines written for the comparison page, and both checked against a plain
// line-by-line reading of whole random pages, with lines far longer than the filter's window and
// files read in blocks down to one byte.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "acquisition/http_fetch.h"
#include "acquisition/part_comparison.h"
#include "base/cp932.h"
#include "support.h"

namespace {

ComparedPart Part(const std::string& from, const std::string& to, const std::string& ignore = "")
{
    ComparedPart part;
    snprintf(part.from, sizeof part.from, "%s", from.c_str());
    snprintf(part.to, sizeof part.to, "%s", to.c_str());
    snprintf(part.ignore, sizeof part.ignore, "%s", ignore.c_str());
    return part;
}

class PagePair {
public:
    // The verdict for the new page against the old one, the same whatever the block size.
    int Compare(const std::string& fresh, const std::string& old, const ComparedPart& part,
                CompareMethod method = CompareMethod::kWholePage)
    {
        WriteWholeFile(m_dir.File("NEW.TEMP"), fresh);
        WriteWholeFile(m_dir.File("Old.TEMP"), old);
        int verdict = -1;
        for (size_t block : {size_t(64 * 1024), size_t(1), size_t(7), size_t(4096)}) {
            bool missing = true;
            int got = ComparePagePartsInBlocks(m_dir.File("NEW.TEMP").c_str(), m_dir.File("Old.TEMP").c_str(), method,
                                               part, &missing, block);
            if (verdict == -1) {
                verdict = got;
                rangeMissing = missing;
            }
            EXPECT_EQ(got, verdict) << "blocks of " << block;
            EXPECT_EQ(missing, rangeMissing) << "blocks of " << block;
        }
        return verdict;
    }
    // The lines of a page that count, as the comparison page gets them.
    std::string Lines(const std::string& page, const ComparedPart& part, CompareMethod method = CompareMethod::kWholePage)
    {
        WriteWholeFile(m_dir.File("page.htm"), page);
        MemorySink sink;
        EXPECT_TRUE(WritePagePart(m_dir.File("page.htm").c_str(), method, part, sink));
        return sink.bytes;
    }
    std::string File(const char* name) const { return m_dir.File(name); }

    bool rangeMissing = false;

private:
    TempDir m_dir;
};

// A news page as stored: CR LF line ends, a counter and a date above the article, an
// advertisement below it.
std::string NewsPage(const std::string& counter, const std::string& article, const std::string& ad)
{
    return "\r\r\n<html><body>\r\n<p>\x83\x41\x83\x4e\x83\x5a\x83\x58: " + counter +  // "アクセス"
           "</p>\r\n<div id=\"main\">\r\n<h1>News</h1>\r\n<p>" + article + "</p>\r\n</div>\r\n<p>" + ad +
           "</p>\r\n</body></html>\r\n";
}

const ComparedPart kMainDiv = Part("<div id=\"main\">", "</div>");

TEST(PagePart, ChangesOutsideTheRangeDoNotCountAndChangesInsideDo)
{
    PagePair pair;
    std::string before = NewsPage("1021", "quiet day", "buy A");
    EXPECT_EQ(pair.Compare(NewsPage("1022", "quiet day", "buy B"), before, kMainDiv), 0);
    EXPECT_FALSE(pair.rangeMissing);
    EXPECT_EQ(pair.Compare(NewsPage("1022", "big news", "buy B"), before, kMainDiv), 1);
    EXPECT_EQ(pair.Lines(before, kMainDiv), "<div id=\"main\">\n<h1>News</h1>\n<p>quiet day</p>\n");
}

TEST(PagePart, APageWithoutTheStartTextCountsWholeAndSaysSo)
{
    PagePair pair;
    std::string before = NewsPage("1", "same", "ad");
    std::string moved = before;
    moved.replace(moved.find("id=\"main\""), 9, "id=\"body\"");
    EXPECT_EQ(pair.Compare(moved, before, kMainDiv), 1) << "the whole new page against the old range";
    EXPECT_TRUE(pair.rangeMissing);
    EXPECT_EQ(pair.Compare(before, moved, kMainDiv), 1) << "the old page's whole against the new range";
    EXPECT_FALSE(pair.rangeMissing) << "only the new page's start is reported";
    EXPECT_EQ(pair.Compare(moved, moved, kMainDiv), 0);
    EXPECT_TRUE(pair.rangeMissing);
    EXPECT_EQ(pair.Lines(moved, Part("<div id=\"main\">", "", "p>")), "\r\n<html><body>\n<div id=\"body\">\n<h1>News</h1>\n</div>\n</body></html>\n")
        << "the whole page with its ignored lines left out";
}

TEST(PagePart, AStartWithoutAnEndRunsToTheEndOfThePage)
{
    PagePair pair;
    ComparedPart fromNews = Part("<h1>", "</span>");  // no such end text
    std::string before = NewsPage("1", "a", "ad one");
    EXPECT_EQ(pair.Compare(NewsPage("2", "a", "ad one"), before, fromNews), 0);
    EXPECT_EQ(pair.Compare(NewsPage("1", "a", "ad two"), before, fromNews), 1);
    EXPECT_EQ(pair.Lines("x<h1>a</h1>\r\nb\r\n", Part("<h1>", "")), "<h1>a</h1>\nb\n");
    EXPECT_EQ(pair.Lines("head\nbody</p>tail\nafter\n", Part("", "</p>")), "head\nbody\n") << "no start text: from the start";
}

TEST(PagePart, TheLastByteOfALineLongerThanTheWindowCounts)
{
    // The range begins three bytes into a line a little longer than the filter's window: the line
    // reaches the comparison in pieces that are no multiple of eight bytes, the last one short.
    PagePair pair;
    for (size_t over : {1, 2, 3, 9}) {
        std::string line = "abcS" + std::string(16 * 1024 - 4 + over, 'x');
        std::string before = "head\n" + line + "\ntail\n";
        std::string after = before;
        after[5 + line.size() - 1] = 'y';
        EXPECT_EQ(pair.Compare(after, before, Part("S", "")), 1) << "a line " << line.size() << " bytes long";
        EXPECT_EQ(pair.Compare(before, before, Part("S", "")), 0);
    }
}

TEST(PagePart, TheRangeIsCutInsideLinesAndTheEndTextIsLookedForAfterTheStartText)
{
    PagePair pair;
    EXPECT_EQ(pair.Lines("a [b] c\n", Part("[", "]")), "[b\n");
    EXPECT_EQ(pair.Lines("a || b || c\n", Part("||", "||")), "|| b \n") << "the end is the next occurrence";
    EXPECT_EQ(pair.Lines("one\r\n[two\r\nthree]x\r\nfour\r\n", Part("[", "]")), "[two\nthree\n");
}

TEST(PagePart, ATrailByteNeverStartsAText)
{
    PagePair pair;
    // "ソ" is 0x83 0x5C and "　" is 0x81 0x40: their trail bytes are "\" and "@".
    std::string page = "x\x83\x5cstart here\x81\x40" "end\n"
                       "\\start\x83\x5c\x83\x5c" "body @end\n";
    EXPECT_EQ(pair.Lines(page, Part("\\start", "@end")), "\\start\x83\x5c\x83\x5c" "body \n");
    EXPECT_EQ(pair.Lines("\x83\x5c\x83\x5c|\n\x95\x5c|\nreal \\\n", Part("", "", "\\")), "\x83\x5c\x83\x5c|\n\x95\x5c|\n")
        << "only the line with a \\ of its own is left out";
}

TEST(PagePart, IgnoredTextsThatMatchNothingOrEverything)
{
    PagePair pair;
    ComparedPart nothing = Part("", "", "\x95\xaa\x91\x4f\nzzz");  // "分前"
    std::string before = NewsPage("5", "a", "b");
    EXPECT_EQ(pair.Compare(before, before, nothing), 0);
    EXPECT_EQ(pair.Compare(NewsPage("6", "a", "b"), before, nothing), 1) << "every line still counts";
    ComparedPart everything = Part("", "", "\n\n>\n");
    EXPECT_EQ(pair.Compare(NewsPage("6", "c", "d"), before, everything), 0);
    EXPECT_EQ(pair.Lines(before, everything), "\r\n") << "only the stored page's first line, a CR, has no \">\"";
    EXPECT_EQ(pair.Compare("", "", everything), 0);
    EXPECT_EQ(pair.Compare("<p>\n", "", everything), 0) << "no line counts in either";
}

TEST(PagePart, ALineHoldingAnIgnoredTextInsideTheRangeIsLeftOut)
{
    PagePair pair;
    ComparedPart counters = Part("<div id=\"main\">", "</div>", "\x95\xaa\x91\x4f\n\x83\x41\x83\x4e\x83\x5a\x83\x58");
    std::string page = "<div id=\"main\">\n<p>3 \x95\xaa\x91\x4f</p>\n<p>text</p>\n</div>\n";  // "3 分前"
    EXPECT_EQ(pair.Lines(page, counters), "<div id=\"main\">\n<p>text</p>\n");
    std::string later = "<div id=\"main\">\n<p>12 \x95\xaa\x91\x4f</p>\n<p>text</p>\n</div>\n";
    EXPECT_EQ(pair.Compare(later, page, counters), 0);
    EXPECT_EQ(pair.Compare("<div id=\"main\">\n<p>12 \x95\xaa\x91\x4f</p>\n<p>more</p>\n</div>\n", page, counters), 1);
    // An ignored text that runs past the range's end, or lies before its start, does not count.
    EXPECT_EQ(pair.Lines("ab[cd]ef\n", Part("[", "]", "d]e\nab")), "[cd\n");
}

TEST(PagePart, TextOnlySitesTakeTheRangeFromTheReadableText)
{
    PagePair pair;
    ComparedPart article = Part("News", "Footer", "\x83\x41\x83\x4e\x83\x5a\x83\x58");
    std::string page = "<html><body><p>Top</p><h1>News</h1><p>first <b>item</b></p>"
                       "<p>\x83\x41\x83\x4e\x83\x5a\x83\x58 12</p><p>Footer</p><script>News</script></body></html>";
    EXPECT_EQ(pair.Lines(page, article, CompareMethod::kTextOnly), "News\nfirst item\n");
    std::string markupOnly = "<html><body><p class=x>Top</p><h1 id=n>News</h1><p>first <i>item</i></p>"
                             "<p>\x83\x41\x83\x4e\x83\x5a\x83\x58 13</p><p>Footer</p></body></html>";
    EXPECT_EQ(pair.Compare(markupOnly, page, article, CompareMethod::kTextOnly), 0);
    EXPECT_EQ(pair.Compare(markupOnly, page, Part("News", "Footer"), CompareMethod::kWholePage), 1);
}

// Lines longer than the filter's window: each text is found wherever it lies across the window's
// edge, and a double-byte character split by the edge keeps its trail byte.
TEST(PagePart, TextsAcrossTheWindowsEdgeAreFound)
{
    PagePair pair;
    const size_t edge = 16 * 1024;
    const std::string needle = "<\x83\x5cST>";  // "<ソST>"
    for (size_t before = edge - needle.size() - 2; before <= edge + 2; ++before) {
        std::string line = std::string(before, 'y') + needle + "zz";
        std::string page = "first\n" + line + "\nlast\n";
        EXPECT_EQ(pair.Lines(page, Part(needle, "")), needle + "zz\nlast\n") << before;
        EXPECT_EQ(pair.Lines(page, Part("", needle)), "first\n" + std::string(before, 'y') + "\n") << before;
        EXPECT_EQ(pair.Lines(page, Part("", "", needle)), "first\nlast\n") << before;
        EXPECT_EQ(pair.Lines(page + line + "\n", Part("first", "", needle)), "first\nlast\n") << before;
    }
    for (size_t before = edge - 3; before <= edge + 1; ++before) {
        std::string page = std::string(before, 'x') + "\x83\x5c" "abc\r\nnext\r\n";
        EXPECT_EQ(pair.Lines(page, Part("\\abc", "")), std::string(before, 'x') + "\x83\x5c" "abc\nnext\n")
            << "no start text at the trail byte " << before;
        EXPECT_EQ(pair.Lines(page, Part("x", "", "\\")), std::string(before, 'x') + "\x83\x5c" "abc\nnext\n") << before;
        EXPECT_EQ(pair.Lines(page, Part("x", "", "\x83\x5c")), "next\n") << before;
    }
}

// A CR at the window's edge is still the line end's when the LF follows in the next piece.
TEST(PagePart, CrLfAcrossTheWindowsEdgeEndsTheLine)
{
    PagePair pair;
    for (size_t before = 16 * 1024 - 2; before <= 16 * 1024 + 1; ++before) {
        std::string line = std::string(before, 'q');
        EXPECT_EQ(pair.Compare(line + "\r\nb\r\n", line + "\nb\n", Part("", "", "zzz")), 0) << before;
        EXPECT_EQ(pair.Lines(line + "\r\n", Part("q", "")), line + "\n") << before;
    }
}

TEST(PagePart, FilesThatCannotBeOpened)
{
    PagePair pair;
    WriteWholeFile(pair.File("there"), "a\n");
    bool missing = true;
    EXPECT_EQ(ComparePageParts(pair.File("nowhere").c_str(), pair.File("there").c_str(), CompareMethod::kWholePage,
                               kMainDiv, &missing), 0);
    EXPECT_FALSE(missing);
    EXPECT_EQ(ComparePageParts(pair.File("there").c_str(), pair.File("nowhere").c_str(), CompareMethod::kTextOnly,
                               kMainDiv, &missing), 1);
    EXPECT_TRUE(missing) << "a first copy without the start text says so";
    WriteWholeFile(pair.File("ranged"), "<div id=\"main\">\n");
    EXPECT_EQ(ComparePageParts(pair.File("ranged").c_str(), pair.File("nowhere").c_str(), CompareMethod::kWholePage,
                               kMainDiv, &missing), 1);
    EXPECT_FALSE(missing);
    MemorySink sink;
    EXPECT_FALSE(WritePagePart(pair.File("nowhere").c_str(), CompareMethod::kWholePage, kMainDiv, sink));
}

// ---- Against a plain reading of whole pages ----

struct Line {
    std::string text;  // without its LF
    bool byLineFeed;
};

std::vector<Line> SplitLines(const std::string& page)
{
    std::string text = page.substr(0, page.find('\x1a'));
    std::vector<Line> lines;
    size_t start = 0;
    for (size_t lf; (lf = text.find('\n', start)) != std::string::npos; start = lf + 1)
        lines.push_back({text.substr(start, lf - start), true});
    if (start < text.size())
        lines.push_back({text.substr(start), false});
    return lines;
}

// The first occurrence of needle at or after `from` that begins a character of the line.
size_t FindInLine(const std::string& line, const std::string& needle, size_t from)
{
    for (size_t i = 0; i < line.size(); i += cp932::CharLength(line.data(), i, line.size())) {
        if (i >= from && line.compare(i, needle.size(), needle) == 0)
            return i;
    }
    return std::string::npos;
}

bool HoldsIgnored(const std::string& line, size_t start, size_t end, const std::vector<std::string>& ignored)
{
    for (const std::string& text : ignored) {
        size_t at = FindInLine(line, text, start);
        while (at != std::string::npos && at + text.size() > end && at < end)
            at = FindInLine(line, text, at + 1);
        if (at != std::string::npos && at + text.size() <= end)
            return true;
    }
    return false;
}

// The lines that count, read plainly; false when the range's start text is not there.
bool PlainLines(const std::string& page, const ComparedPart& part, bool useRange, std::string* out)
{
    std::string from = useRange ? part.from : "";
    std::string to = useRange ? part.to : "";
    std::vector<std::string> ignored;
    for (std::string rest = part.ignore; !rest.empty();) {
        size_t lf = rest.find('\n');
        if (lf != 0)
            ignored.push_back(rest.substr(0, lf));
        rest = lf == std::string::npos ? "" : rest.substr(lf + 1);
    }
    bool inside = from.empty();
    for (const Line& line : SplitLines(page)) {
        size_t start = 0;
        size_t toFrom = 0;
        if (!inside) {
            start = FindInLine(line.text, from, 0);
            if (start == std::string::npos)
                continue;
            inside = true;
            toFrom = start + from.size();
        }
        size_t end = line.text.size();
        size_t at = to.empty() ? std::string::npos : FindInLine(line.text, to, toFrom);
        if (at != std::string::npos && at == start && toFrom == start)
            break;  // the end text begins the line: the range ended with the line before
        if (at != std::string::npos)
            end = at;
        else if (line.byLineFeed && end > start && line.text[end - 1] == '\r')
            --end;
        if (!HoldsIgnored(line.text, start, end, ignored))
            *out += line.text.substr(start, end - start) + "\n";
        if (at != std::string::npos)
            break;
    }
    return inside;
}

std::string PlainPart(const std::string& page, const ComparedPart& part, bool* missing)
{
    std::string out;
    *missing = !PlainLines(page, part, true, &out);
    if (*missing) {
        out.clear();
        PlainLines(page, part, false, &out);
    }
    return out;
}

// Pages made of pieces that make trouble: double-byte characters whose trail bytes are "\" and
// "@", lone lead bytes, CRs, line ends, runs long enough to fill the filter's window many times.
class RandomPages {
public:
    explicit RandomPages(unsigned seed) : m_random(seed) {}

    std::string Page()
    {
        static const char* const kPieces[] = {"a", "b", "@", "\\", "\x83\x5c", "\x81\x40", "\x82\xa0", "\x82",
                                              "\r", "\n", "\r\n", "ST", "EN", "<p>", "x", "\x1a"};
        std::string page;
        size_t pieces = Pick(200);
        for (size_t i = 0; i < pieces; ++i) {
            if (Pick(60) == 0)
                page += std::string(1000 + Pick(40000), "xa@"[Pick(3)]);
            else
                page += kPieces[Pick(Pick(20) == 0 ? 16 : 15)];  // 0x1A now and then
        }
        return page;
    }
    std::string Text(size_t most)
    {
        static const char* const kPieces[] = {"a", "@", "\\", "\x83\x5c", "\x81\x40", "ST", "EN", "x", "<p>"};
        std::string text;
        for (size_t n = Pick(most + 1); n > 0; --n)
            text += kPieces[Pick(9)];
        return text;
    }
    ComparedPart AnyPart()
    {
        std::string ignore;
        for (size_t n = Pick(3); n > 0; --n)
            ignore += (ignore.empty() ? "" : "\n") + Text(2) + (Pick(8) == 0 ? std::string(1100, 'x') : "");
        return Part(Text(2), Text(2), ignore.substr(0, kIgnoreTextsSize - 1));
    }
    std::string Changed(std::string page)
    {
        if (page.empty() || Pick(4) == 0)
            return page + Text(3);
        size_t at = Pick(page.size());
        return page.replace(at, Pick(4), Text(2));
    }
    size_t Pick(size_t n) { return n == 0 ? 0 : m_random() % n; }

private:
    std::mt19937 m_random;
};

TEST(PagePartAgainstPlainReading, TheLinesThatCountAreThoseOfAPlainReading)
{
    PagePair pair;
    RandomPages random(20261210);
    for (int round = 0; round < 300; ++round) {
        std::string page = random.Page();
        ComparedPart part = random.AnyPart();
        bool missing = false;
        std::string expected = PlainPart(page, part, &missing);
        ASSERT_EQ(pair.Lines(page, part), expected)
            << "round " << round << " from [" << part.from << "] to [" << part.to << "] ignore [" << part.ignore << "]";
    }
}

TEST(PagePartAgainstPlainReading, TheVerdictIsThatOfAPlainReading)
{
    PagePair pair;
    RandomPages random(4242);
    int differing = 0;
    for (int round = 0; round < 150; ++round) {
        std::string old = random.Page();
        std::string fresh = random.Pick(3) == 0 ? old : random.Changed(old);
        ComparedPart part = random.AnyPart();
        bool freshMissing = false;
        bool oldMissing = false;
        bool expected = PlainPart(fresh, part, &freshMissing) != PlainPart(old, part, &oldMissing);
        ASSERT_EQ(pair.Compare(fresh, old, part), expected ? 1 : 0) << "round " << round;
        ASSERT_EQ(pair.rangeMissing, freshMissing) << "round " << round;
        differing += expected;
    }
    EXPECT_GT(differing, 20);
    EXPECT_LT(differing, 130);
}

}  // namespace
