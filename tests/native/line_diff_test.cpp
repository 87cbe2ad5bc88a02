// Line differences of real page pairs written as files, checked against GNU diff: the same
// hunks where the shortest edit is unique, never more edits than `diff --minimal`, and the hunks
// applied to the older text always give the newer one.
#include <gtest/gtest.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "acquisition/file_io.h"
#include "support.h"
#include "viewer/line_diff.h"

namespace {

using Lines = std::vector<std::string>;

// The lines of a text as the diff reads them: split at LF, a CR before an LF dropped.
Lines SplitText(const std::string& text)
{
    Lines lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t lf = text.find('\n', pos);
        size_t end = lf == std::string::npos ? text.size() : lf;
        size_t textEnd = (lf != std::string::npos && end > pos && text[end - 1] == '\r') ? end - 1 : end;
        lines.push_back(text.substr(pos, textEnd - pos));
        pos = end + 1;
    }
    return lines;
}

std::string TableLine(const LineTable& t, size_t i) { return std::string(t.Text(i), t.Length(i)); }

std::string Range(uint32_t start, uint32_t count)
{
    return std::to_string(start) + (count == 1 ? "" : "," + std::to_string(count));
}

// The result in the form `diff -U3` prints after its two file lines.
std::string Unified(const LineTable& a, const LineTable& b, const DiffResult& r)
{
    std::string out;
    for (size_t h = 0; h < r.HunkCount(); ++h) {
        const DiffHunk& k = r.Hunk(h);
        out += "@@ -" + Range(k.olderStart, k.olderCount) + " +" + Range(k.newerStart, k.newerCount) + " @@\n";
        uint32_t i = k.olderIndex;
        for (uint32_t e = k.firstEdit; e < k.firstEdit + k.editCount; ++e) {
            const LineEdit& x = r.Edit(e);
            for (; i < x.olderIndex; ++i)
                out += " " + TableLine(a, i) + "\n";
            for (; i < x.olderIndex + x.olderCount; ++i)
                out += "-" + TableLine(a, i) + "\n";
            for (uint32_t j = x.newerIndex; j < x.newerIndex + x.newerCount; ++j)
                out += "+" + TableLine(b, j) + "\n";
        }
        for (; i < k.olderIndex + k.olderCount; ++i)
            out += " " + TableLine(a, i) + "\n";
    }
    return out;
}

// Applies the hunks to the older lines, checking every context and removed line on the way.
Lines Apply(const Lines& older, const LineTable& a, const LineTable& b, const DiffResult& r)
{
    Lines out;
    size_t next = 0;
    for (size_t h = 0; h < r.HunkCount(); ++h) {
        const DiffHunk& k = r.Hunk(h);
        size_t first = k.olderCount > 0 ? k.olderStart - 1 : k.olderStart;
        EXPECT_LE(next, first);
        out.insert(out.end(), older.begin() + next, older.begin() + first);
        EXPECT_EQ(out.size(), k.newerCount > 0 ? k.newerStart - 1 : k.newerStart);
        uint32_t i = k.olderIndex;
        size_t pos = first;
        for (uint32_t e = k.firstEdit; e <= k.firstEdit + k.editCount; ++e) {
            bool last = e == k.firstEdit + k.editCount;
            uint32_t until = last ? k.olderIndex + k.olderCount : r.Edit(e).olderIndex;
            for (; i < until; ++i, ++pos) {
                EXPECT_EQ(TableLine(a, i), older.at(pos));
                out.push_back(older.at(pos));
            }
            if (last)
                break;
            const LineEdit& x = r.Edit(e);
            for (; i < x.olderIndex + x.olderCount; ++i, ++pos)
                EXPECT_EQ(TableLine(a, i), older.at(pos));
            for (uint32_t j = x.newerIndex; j < x.newerIndex + x.newerCount; ++j)
                out.push_back(TableLine(b, j));
        }
        next = pos;
    }
    out.insert(out.end(), older.begin() + next, older.end());
    return out;
}

std::string RunGnuDiff(const std::string& options, const std::string& a, const std::string& b)
{
    std::string command = "/usr/bin/diff " + options + " '" + a + "' '" + b + "'";
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buf[65536];
    size_t got;
    while (pipe != nullptr && (got = fread(buf, 1, sizeof buf, pipe)) > 0)
        out.append(buf, got);
    if (pipe != nullptr)
        pclose(pipe);
    size_t body = out.find("\n+++ ");
    return body == std::string::npos ? std::string() : out.substr(out.find('\n', body + 1) + 1);
}

size_t CountMarked(const std::string& unified, char mark)
{
    size_t n = 0;
    for (const std::string& line : SplitText(unified))
        n += !line.empty() && line[0] == mark && line.compare(0, 2, "@@") != 0;
    return n;
}

// Row i of a page: the same in every page made with the same salt.
std::string Row(int i, const std::string& salt = "")
{
    return "<tr><td>" + salt + "item " + std::to_string(i) + "</td><td>" + std::to_string(i * 7919 % 10007) +
           " yen</td><td>\x8D\xDD\x8C\xC9</td></tr>\n";
}

// A page of n rows after four head lines (row i is line i + 5).
std::string Page(int n, const std::string& salt = "")
{
    std::string page = "<html>\n<head><title>\x83\x5C\x83\x74\x83\x67</title></head>\n<body>\n<table>\n";
    for (int i = 0; i < n; ++i)
        page += Row(i, salt);
    return page + "</table>\n</body>\n</html>\n";
}

std::string ReplaceLine(std::string page, const std::string& from, const std::string& to)
{
    size_t at = page.find(from);
    return at == std::string::npos ? page : page.replace(at, from.size(), to);
}

std::string ToCrLf(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

struct PagePair {
    const char* name;
    std::string older;
    std::string newer;
    bool unique;  // the shortest edit is unique, so GNU diff's hunks are the only right ones
};

std::vector<PagePair> Pairs()
{
    std::string page = Page(40);
    std::string moved = ReplaceLine(ReplaceLine(page, Row(3), ""), Row(30), Row(3) + Row(30));
    std::string paragraph = ReplaceLine(page, "<tr><td>item 12</td>", "<tr><td>item twelve</td>");
    paragraph = ReplaceLine(paragraph, "<tr><td>item 13</td>", "<p>new\n</p>\n<tr><td>item 13 &amp;</td>");
    std::string scattered = ReplaceLine(ReplaceLine(page, "item 1<", "ITEM 1<"), "item 8<", "ITEM 8<");
    scattered = ReplaceLine(ReplaceLine(scattered, "item 16<", "ITEM 16<"), "item 39<", "ITEM 39<");
    return {
        {"changed paragraph", page, paragraph, true},
        {"changes 6 and 7 lines apart", page, scattered, true},
        {"line moved", page, moved, false},
        {"every line different", Page(30, "a "), Page(25, "b "), true},
        {"empty against a page", "", page, true},
        {"a page against empty", page, "", true},
        {"identical pages", page, page, true},
        {"first and last lines changed", "<x>\n" + page + "<y>\n", "<z>\n" + page + "<w>\n", true},
        {"repeated lines", "a\nb\na\nb\na\n", "b\na\nb\nb\na\nb\n", false},
    };
}

class LineDiffFiles : public ::testing::Test {
protected:
    // Diffs the pair through files; checks it against GNU diff and by applying it.
    void Check(const PagePair& pair, const std::string& olderBytes, const std::string& newerBytes)
    {
        std::string a = m_dir.File("older.htm");
        std::string b = m_dir.File("newer.htm");
        WriteWholeFile(a, olderBytes);
        WriteWholeFile(b, newerBytes);
        LineTable older, newer;
        DiffResult result;
        ASSERT_EQ(DiffFilePaths(a.c_str(), b.c_str(), &older, &newer, &result), kDiffListed) << pair.name;
        EXPECT_EQ(result.OlderSize(), olderBytes.size());
        EXPECT_EQ(result.NewerSize(), newerBytes.size());
        std::string ours = Unified(older, newer, result);
        WriteWholeFile(a, pair.older);  // GNU diff reads the LF form: CR LF reads as LF for us
        WriteWholeFile(b, pair.newer);
        if (pair.unique) {
            EXPECT_EQ(ours, RunGnuDiff("-U3", a, b)) << pair.name;
        }
        std::string minimal = RunGnuDiff("--minimal -U3", a, b);
        EXPECT_EQ(result.DeletedLines() + result.InsertedLines(), CountMarked(minimal, '-') + CountMarked(minimal, '+'))
            << pair.name;
        EXPECT_EQ(Apply(SplitText(pair.older), older, newer, result), SplitText(pair.newer)) << pair.name;
    }
    TempDir m_dir;
};

TEST_F(LineDiffFiles, PagePairsMatchGnuDiff)
{
    for (const PagePair& pair : Pairs())
        Check(pair, pair.older, pair.newer);
}

TEST_F(LineDiffFiles, TextModeFilesGiveTheSameHunksAsPlainLf)
{
    for (const PagePair& pair : Pairs()) {
        Check(pair, ToCrLf(pair.older), ToCrLf(pair.newer));
        Check(pair, ToCrLf(pair.older), pair.newer);
    }
}

TEST_F(LineDiffFiles, MegabytePagesWithScatteredChanges)
{
    std::string older = Page(18000);
    std::string newer = older;
    for (int i = 50; i < 18000; i += 179)  // 101 changed rows, and one row gone and one new
        newer = ReplaceLine(newer, "item " + std::to_string(i) + "<", "item " + std::to_string(i) + " (sold out)<");
    newer = ReplaceLine(newer, "<tr><td>item 7000</td>", "<tr><td>new item</td></tr>\n<tr><td>item 7000</td>");
    newer = ReplaceLine(newer, "<tr><td>item 9001</td><td>", "<tr><td>");
    ASSERT_GT(older.size(), 1000000u);
    Check({"1 MB", older, newer, true}, older, newer);
}

// Pages whose first and last changes lie far apart, more lines or bytes apart than a table could
// hold as text: the changes are listed all the same.
TEST_F(LineDiffFiles, ChangesFarApartInLargePagesAreListed)
{
    std::string rows;  // 300,000 lines, 5 MB
    for (int i = 1; i <= 300000; ++i)
        rows += "row " + std::to_string(i) + " of 300000.\n";
    std::string changed = ReplaceLine(ReplaceLine(rows, "row 11 of", "row 11 (new) of"), "row 299991 of",
                                      "row 299991 (new) of");
    ASSERT_GT(rows.size(), 5000000u);
    Check({"300,000 lines, lines 11 and 299,991 changed", rows, changed, true}, rows, changed);

    std::string wide;  // 47,000 lines, 9.5 MB
    for (int i = 0; i < 47000; ++i)
        wide += "<p id=\"p" + std::to_string(i) + "\">" + std::string(190, 'a' + i % 26) + "</p>\n";
    std::string wideChanged = ReplaceLine(ReplaceLine(wide, "<p id=\"p1\">", "<p id=\"p1\" class=\"new\">"),
                                          "<p id=\"p46998\">", "<p id=\"p46998\" class=\"new\">");
    ASSERT_GT(wide.size(), 9500000u);
    Check({"47,000 lines of 9.5 MB, second and next-to-last lines changed", wide, wideChanged, true}, ToCrLf(wide),
          ToCrLf(wideChanged));

    std::string table, tableChanged;  // a 4.8 MB table of short lines, 100 rows changed
    for (int i = 0; table.size() < 4800000; ++i) {
        std::string row = "<tr>\n<td>" + std::to_string(i) + "</td>\n<td>" + std::to_string(i * 7919 % 10007) + "</td>\n</tr>\n";
        table += row;
        tableChanged += i % 1060 == 500 ? ReplaceLine(row, "</td>\n</tr>", " (sold out)</td>\n</tr>") : row;
    }
    ASSERT_GT(table.size(), 4800000u);
    Check({"4.8 MB table, 100 rows changed", table, tableChanged, true}, table, tableChanged);
}

TEST_F(LineDiffFiles, LastLineWithoutLineFeedDiffersFromOneWithIt)
{
    Check({"no LF at the end", "a\nb\nc\n", "a\nb\nc", false}, "a\nb\nc\n", "a\nb\nc");
    Check({"LF added at the end", "a\nb", "a\nb\n", false}, "a\nb", "a\nb\n");
    Check({"other last line", "a\nb", "a\nc", false}, "a\nb", "a\nc");
}

TEST(LineDiff, TenMegabytePageWithOneChangeHoldsOnlyTheChangeAndItsContext)
{
    TempDir dir;
    std::string older = ToCrLf(Page(180000));
    std::string newer = ReplaceLine(older, ToCrLf(Row(90000)), "<p>changed</p>\r\n");
    ASSERT_GT(older.size(), 10000000u);
    WriteWholeFile(dir.File("a"), older);
    WriteWholeFile(dir.File("b"), newer);
    LineTable a, b;
    DiffResult r;
    ASSERT_EQ(DiffFilePaths(dir.File("a").c_str(), dir.File("b").c_str(), &a, &b, &r), kDiffListed);
    ASSERT_EQ(r.HunkCount(), 1u);
    EXPECT_EQ(r.Hunk(0).olderStart, 90005u - 3);
    EXPECT_EQ(r.Hunk(0).olderCount, 7u);
    EXPECT_EQ(r.Hunk(0).newerStart, 90005u - 3);
    EXPECT_EQ(a.Count(), 7u);
    EXPECT_EQ(TableLine(a, 3), Row(90000).substr(0, Row(90000).size() - 1));
    EXPECT_EQ(TableLine(b, 3), "<p>changed</p>");
    EXPECT_EQ(TableLine(b, 6), Row(90003).substr(0, Row(90003).size() - 1));
}

TEST(LineDiff, PastTheCapsTheResultIsTooDifferent)
{
    TempDir dir;
    std::string a = dir.File("a");
    std::string b = dir.File("b");
    LineTable older, newer;
    DiffResult r;
    WriteWholeFile(a, Page(180000, "x"));  // unrelated 10 MB pages: more than is held
    WriteWholeFile(b, Page(180000, "y"));
    EXPECT_EQ(DiffFilePaths(a.c_str(), b.c_str(), &older, &newer, &r), kDiffTooDifferent);
    EXPECT_EQ(r.OlderSize(), ReadWholeFile(a).size());
    EXPECT_EQ(r.HunkCount(), 0u);
    WriteWholeFile(a, Page(6000, "x"));  // small enough to hold, but 12000 edits
    WriteWholeFile(b, Page(6000, "y"));
    EXPECT_EQ(DiffFilePaths(a.c_str(), b.c_str(), &older, &newer, &r), kDiffTooDifferent);
    std::string x(6000 * 2, 'x'), y(6000 * 2, 'y');
    for (size_t i = 1; i < x.size(); i += 2)
        x[i] = y[i] = '\n';
    WriteWholeFile(a, x + y);  // every line has its equal on the other side, still 12000 edits
    WriteWholeFile(b, y + x);
    EXPECT_EQ(DiffFilePaths(a.c_str(), b.c_str(), &older, &newer, &r), kDiffTooDifferent);
    WriteWholeFile(b, std::string(300000, '\n'));  // more lines than are held
    EXPECT_EQ(DiffFilePaths(a.c_str(), b.c_str(), &older, &newer, &r), kDiffTooDifferent);
    WriteWholeFile(a, Page(4500, "x"));  // 4500 + 4500 edits are still listed
    WriteWholeFile(b, Page(4500, "y"));
    ASSERT_EQ(DiffFilePaths(a.c_str(), b.c_str(), &older, &newer, &r), kDiffListed);
    EXPECT_EQ(r.DeletedLines(), 4500u);
    EXPECT_EQ(r.InsertedLines(), 4500u);
}

// Two page files in a folder of their own, diffed.
struct ComparedFiles {
    TempDir dir;
    LineTable older, newer;
    DiffResult result;
    DiffOutcome Diff(const std::string& olderBytes, const std::string& newerBytes)
    {
        WriteWholeFile(dir.File("a"), olderBytes);
        WriteWholeFile(dir.File("b"), newerBytes);
        return DiffFilePaths(dir.File("a").c_str(), dir.File("b").c_str(), &older, &newer, &result);
    }
};

// What a comparison holds is its line entries, 12 bytes a line, and the text of the lines it
// lists, however far apart the changes; past kDiffHeldLines entries it says "too different", and
// unrelated pages are found so after a few windows of lines, whatever their size.
TEST(LineDiff, MemoryStaysBoundedByTheLineEntries)
{
    ComparedFiles f;
    std::string many;
    for (int i = 0; i < 900000; ++i)
        many += std::to_string(i % 1000) + "\n";
    ASSERT_EQ(f.Diff("first\n" + many + "last\n", "FIRST\n" + many + "LAST\n"), kDiffListed);
    ASSERT_EQ(f.result.HunkCount(), 2u);
    EXPECT_EQ(f.result.Hunk(1).olderStart, 900002u - 3);
    EXPECT_EQ(TableLine(f.newer, f.newer.Count() - 1), "LAST");
    EXPECT_EQ(f.older.Count(), 900002u);
    EXPECT_LE(f.older.HeldBytes(), 12 * f.older.Count() + 1024);  // line entries, and 2 x 4 listed lines
    EXPECT_LE(f.newer.HeldBytes(), 12 * f.newer.Count() + 1024);

    std::string more;
    for (int i = 0; i < kDiffHeldLines; ++i)
        more += "x\n";
    EXPECT_EQ(f.Diff("first\n" + more + "last\n", "FIRST\n" + more + "LAST\n"), kDiffTooDifferent);
    EXPECT_LE(f.older.HeldBytes(), 12u * kDiffHeldLines);

    std::string unrelated = Page(270000, "x");  // unrelated 15 MB pages
    EXPECT_EQ(f.Diff(unrelated, Page(270000, "y")), kDiffTooDifferent);
    EXPECT_EQ(f.result.OlderSize(), unrelated.size());
    EXPECT_LE(f.older.HeldBytes() + f.newer.HeldBytes(), 1024u * 1024);
}

TEST(LineDiff, UnreadableFileFails)
{
    TempDir dir;
    WriteWholeFile(dir.File("a"), "a\n");
    LineTable older, newer;
    DiffResult r;
    EXPECT_EQ(DiffFilePaths(dir.File("a").c_str(), dir.File("missing").c_str(), &older, &newer, &r), kDiffFailed);
    EXPECT_EQ(DiffFilePaths(dir.File("missing").c_str(), dir.File("a").c_str(), &older, &newer, &r), kDiffFailed);
    EXPECT_EQ(r.Outcome(), kDiffFailed);
}

TEST(LineDiff, TextsInMemoryAndWholeTablesGiveTheFileResult)
{
    TempDir dir;
    for (const PagePair& pair : Pairs()) {
        LineTable a, b, wholeA, wholeB;
        DiffResult fromMemory, whole;
        ASSERT_EQ(DiffTexts(pair.older.data(), pair.older.size(), pair.newer.data(), pair.newer.size(), &a, &b, &fromMemory),
                  kDiffListed);
        WriteWholeFile(dir.File("a"), pair.older);
        InputFile file;
        ASSERT_TRUE(file.Open(dir.File("a").c_str()));
        ASSERT_TRUE(wholeA.LoadFile(file));
        ASSERT_TRUE(wholeB.LoadBytes(pair.newer.data(), pair.newer.size()));
        EXPECT_EQ(wholeA.Count(), SplitText(pair.older).size());
        ASSERT_EQ(DiffLineTables(wholeA, wholeB, &whole), kDiffListed);
        EXPECT_EQ(Unified(a, b, fromMemory), Unified(wholeA, wholeB, whole)) << pair.name;
        EXPECT_EQ(Apply(SplitText(pair.older), a, b, fromMemory), SplitText(pair.newer)) << pair.name;
    }
}

}  // namespace
