// Fuzzes the line diff and the comparison page: the input holds two texts (two leading bytes give
// where the first ends). Checks that the hunks applied to the older text give the newer one, that
// their numbers agree with their lines, that the edit count is the smallest (a plain O(NM) model
// of the longest common subsequence), that diffing the whole texts gives the same count as the
// trimming comparison, and that the page shows every "<" of the texts escaped (in ISO-2022-JP:
// every "<" a browser reads as one).
#include <stdint.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "acquisition/http_fetch.h"
#include "acquisition/page_charset.h"
#include "tests/common/memory_sink.h"
#include "viewer/diff_page.h"
#include "viewer/line_diff.h"

namespace {

void Check(bool ok)
{
    if (!ok)
        abort();
}

// A line with its LF, or without one when it ends the text; a CR before the LF dropped.
std::vector<std::string> ModelLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t lf = text.find('\n', pos);
        if (lf == std::string::npos) {
            lines.push_back(text.substr(pos));
            break;
        }
        size_t end = (lf > pos && text[lf - 1] == '\r') ? lf - 1 : lf;
        lines.push_back(text.substr(pos, end - pos) + "\n");
        pos = lf + 1;
    }
    return lines;
}

size_t ModelEdits(const std::vector<std::string>& a, const std::vector<std::string>& b)
{
    std::vector<size_t> row(b.size() + 1, 0), prev(b.size() + 1, 0);
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j)
            row[j] = a[i - 1] == b[j - 1] ? prev[j - 1] + 1 : std::max(prev[j], row[j - 1]);
        prev.swap(row);
    }
    return a.size() + b.size() - 2 * prev[b.size()];
}

bool SameText(const LineTable& t, size_t i, const std::string& modelLine)
{
    std::string text(t.Text(i), t.Length(i));
    return text == modelLine || text + "\n" == modelLine;
}

// Walks lines [from, to) of table t against the model from its line number; returns the next.
size_t CheckLines(const LineTable& t, uint32_t from, uint32_t to, const std::vector<std::string>& model,
                  std::vector<std::string>* out)
{
    for (uint32_t i = from; i < to; ++i) {
        size_t n = t.Number(i) - 1;
        Check(n < model.size() && SameText(t, i, model[n]));
        if (out != nullptr)
            out->push_back(model[n]);
    }
    return to;
}

void CheckHunk(const LineTable& a, const LineTable& b, const DiffResult& r, const DiffHunk& h,
               const std::vector<std::string>& older, const std::vector<std::string>& newer,
               std::vector<std::string>* out)
{
    Check(h.olderStart == (h.olderCount ? a.Number(h.olderIndex) : a.Number(h.olderIndex) - 1));
    Check(h.newerStart == (h.newerCount ? b.Number(h.newerIndex) : b.Number(h.newerIndex) - 1));
    Check(out->size() == b.Number(h.newerIndex) - 1);
    uint32_t x = h.olderIndex, y = h.newerIndex;
    for (uint32_t e = h.firstEdit; e < h.firstEdit + h.editCount; ++e) {
        const LineEdit& edit = r.Edit(e);
        Check(edit.olderIndex - x == edit.newerIndex - y && edit.olderCount + edit.newerCount > 0);
        Check(e == h.firstEdit || edit.olderIndex - x <= 2 * kDiffContextLines);
        CheckLines(a, x, edit.olderIndex, older, out);
        CheckLines(a, edit.olderIndex, edit.olderIndex + edit.olderCount, older, nullptr);
        CheckLines(b, edit.newerIndex, edit.newerIndex + edit.newerCount, newer, out);
        x = edit.olderIndex + edit.olderCount;
        y = edit.newerIndex + edit.newerCount;
    }
    Check(h.olderIndex + h.olderCount - x == h.newerIndex + h.newerCount - y);
    CheckLines(a, x, h.olderIndex + h.olderCount, older, out);
}

// Applies the hunks to the older model lines, checking each hunk's lines and numbers.
void CheckApplies(const LineTable& a, const LineTable& b, const DiffResult& r, const std::vector<std::string>& older,
                  const std::vector<std::string>& newer)
{
    std::vector<std::string> out;
    size_t next = 0;
    for (size_t k = 0; k < r.HunkCount(); ++k) {
        const DiffHunk& h = r.Hunk(k);
        size_t first = a.Number(h.olderIndex) - 1;
        Check(next <= first && (k == 0 || first - next > 0));
        out.insert(out.end(), older.begin() + next, older.begin() + first);
        CheckHunk(a, b, r, h, older, newer, &out);
        next = first + h.olderCount;
    }
    Check(next <= older.size());
    out.insert(out.end(), older.begin() + next, older.end());
    Check(out == newer);
}

void Erase(std::string* text, const std::string& what)
{
    for (size_t at = text->find(what); at != std::string::npos; at = text->find(what, at))
        text->erase(at, what.size());
}

// The bytes of an ISO-2022-JP page that a browser reads as ASCII or JIS Roman: those before any
// escape sequence and after ESC ( B or ESC ( J, but not after ESC ( I, ESC $ @ or ESC $ B. The
// escape sequences themselves are left out; a page that does not end in a text set gives "".
std::string IsoTextBytes(const std::string& page)
{
    std::string text;
    bool inText = true;
    for (size_t i = 0; i < page.size(); ++i) {
        std::string next = page.substr(i, 3);
        if (next == "\x1B(B" || next == "\x1B(J" || next == "\x1B(I" || next == "\x1B$@" || next == "\x1B$B") {
            inText = next[1] == '(' && next[2] != 'I';
            i += 2;
        } else if (inText) {
            text += page[i];
        }
    }
    return inText ? text : std::string();
}

// The listed lines hold no "<", ">" or zero byte once the page's own markup is taken out: in a
// page in code page 932, and in what a browser reads as text of a page in ISO-2022-JP.
void CheckPage(const LineTable& a, const LineTable& b, const DiffResult& r, const char* charset)
{
    MemorySink sink;
    DiffPageFacts facts = {"2026-12-09 06:30:05", "<x>", 1, 2, charset};
    Check(WriteDiffPage(sink, a, b, r, facts));
    std::string page = ClassifyCharsetName(charset) == kCharsetIso2022Jp ? IsoTextBytes(sink.bytes) : sink.bytes;
    Check(page.find('\0') == std::string::npos && page.find("&lt;x&gt;") != std::string::npos);
    size_t open = page.find("<pre>\n");
    if (open == std::string::npos)
        return;
    size_t close = page.find("</pre>\n", open);
    Check(close != std::string::npos && close == page.rfind("</pre>\n"));
    std::string listed = page.substr(open + 6, close - open - 6);
    for (const char* tag : {"<span class=\"hunk\">", "</span>", "<del>", "</del>", "<ins>", "</ins>"})
        Erase(&listed, tag);
    Check(listed.find('<') == std::string::npos && listed.find('>') == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    size_t split = (static_cast<size_t>(data[0]) << 8 | data[1]) % (size - 1);
    std::string older(reinterpret_cast<const char*>(data) + 2, split);
    std::string newer(reinterpret_cast<const char*>(data) + 2 + split, size - 2 - split);
    LineTable a, b;
    DiffResult r;
    Check(DiffTexts(older.data(), older.size(), newer.data(), newer.size(), &a, &b, &r) == kDiffListed);
    std::vector<std::string> olderLines = ModelLines(older), newerLines = ModelLines(newer);
    CheckApplies(a, b, r, olderLines, newerLines);
    if (olderLines.size() <= 400 && newerLines.size() <= 400)
        Check(r.DeletedLines() + r.InsertedLines() == ModelEdits(olderLines, newerLines));
    LineTable wholeA, wholeB;
    DiffResult whole;
    Check(wholeA.LoadBytes(older.data(), older.size()) && wholeB.LoadBytes(newer.data(), newer.size()));
    Check(DiffLineTables(wholeA, wholeB, &whole) == kDiffListed);
    Check(whole.DeletedLines() + whole.InsertedLines() == r.DeletedLines() + r.InsertedLines());
    CheckPage(a, b, r, "Shift_JIS");
    CheckPage(a, b, r, "ISO-2022-JP");
    return 0;
}
