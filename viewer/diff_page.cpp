// Writing the comparison page through a fixed buffer, and the snapshot date labels.
#include "viewer/diff_page.h"

#include <string.h>

#include "acquisition/file_io.h"
#include "acquisition/http_fetch.h"
#include "acquisition/page_charset.h"
#include "base/ascii.h"
#include "base/cp932.h"
#include "base/decimal.h"
#include "base/text_join.h"
#include "registry/site_folder.h"

namespace {

const char kStyle[] =
    "<style>\n"
    "body{font-family:sans-serif;margin:1em 2em;color:#222}\n"
    "h1{font-size:1.3em}\n"
    "table.dates th{text-align:left;padding-right:1em}\n"
    "table.dates td{padding-right:2em}\n"
    "pre{font-family:monospace;white-space:pre-wrap;word-wrap:break-word;border:1px solid #ccc;"
    "padding:.5em;background:#fafafa}\n"
    ".hunk{color:#458;font-weight:bold}\n"
    "del{color:#a00;background:#fdd;text-decoration:line-through}\n"
    "ins{color:#070;background:#dfd;text-decoration:none}\n"
    "</style>\n";

// The escape sequences of ISO-2022-JP that browsers know, each naming the set the bytes after it
// are in: first the text sets (ASCII, JIS Roman), where markup bytes mean themselves, then the
// sets whose bytes are parts of characters (half-width katakana, JIS X 0208 of 1978 and 1983),
// where "<" or "&" may be half a character.
const char kIsoEscapes[][4] = {"\x1B(B", "\x1B(J", "\x1B(I", "\x1B$@", "\x1B$B"};
enum { kIsoAscii = 0, kIsoFirstCharacterSet = 2, kIsoSets = 5, kIsoEscapeLength = 3 };

// The set the escape sequence at s names, or -1 when none begins there.
int IsoEscapeAt(const char* s, size_t len)
{
    for (int set = 0; set < kIsoSets; ++set) {
        if (len >= kIsoEscapeLength && memcmp(s, kIsoEscapes[set], kIsoEscapeLength) == 0)
            return set;
    }
    return -1;
}

bool IsCharacterByte(unsigned char c) { return c >= 0x21 && c <= 0x7E; }

// Gathers the page in a fixed buffer and hands it to the sink a buffer at a time. The snapshot
// lines of a page in ISO-2022-JP, whose bytes mean what the escape sequences before them say,
// are written set by set.
class PageWriter {
public:
    PageWriter(ByteSink& sink, bool iso2022)
        : m_sink(sink), m_used(0), m_failed(false), m_iso2022(iso2022), m_shown(kIsoAscii)
    {
    }
    PageWriter(const PageWriter&) = delete;
    PageWriter& operator=(const PageWriter&) = delete;

    void Put(const char* s) { Put(s, strlen(s)); }
    void Put(const char* s, size_t len);
    void PutNumber(uint64_t value);
    // Text from a snapshot or a label: markup characters and control bytes as references.
    void PutEscaped(const char* s, size_t len);
    // A snapshot line, in the page's charset.
    void PutLine(const char* s, size_t len) { m_iso2022 ? PutIsoLine(s, len) : PutEscaped(s, len); }
    bool Finish();

private:
    void Flush();
    void PutReference(unsigned char c);
    void PutIsoLine(const char* s, size_t len);
    void Show(int set);

    ByteSink& m_sink;
    char m_buffer[kDiffPageBufferSize];
    size_t m_used;
    bool m_failed;
    bool m_iso2022;
    int m_shown;  // the ISO-2022-JP set the page's bytes are in where it stands
};

void PageWriter::Flush()
{
    if (m_used > 0 && !m_failed && !m_sink.Put(m_buffer, m_used))
        m_failed = true;
    m_used = 0;
}

void PageWriter::Put(const char* s, size_t len)
{
    while (len > 0) {
        if (m_used == sizeof(m_buffer))
            Flush();
        size_t room = sizeof(m_buffer) - m_used;
        size_t n = len < room ? len : room;
        memcpy(m_buffer + m_used, s, n);
        m_used += n;
        s += n;
        len -= n;
    }
}

void PageWriter::PutNumber(uint64_t value)
{
    UnsignedDecimalText text(value);
    Put(text.c_str(), text.Length());
}

bool IsPlainByte(unsigned char c)
{
    return c != '&' && c != '<' && c != '>' && c != '"' && c != '\'' && (c >= 0x20 || c == '\t') && c != 0x7F;
}

// A markup character as its named or numeric reference; a control byte as its control picture
// (U+2400 on), which shows where it stood without acting as a line break or ending the text.
void PageWriter::PutReference(unsigned char c)
{
    switch (c) {
    case '&': Put("&amp;"); return;
    case '<': Put("&lt;"); return;
    case '>': Put("&gt;"); return;
    case '"': Put("&quot;"); return;
    case '\'': Put("&#39;"); return;
    default: break;
    }
    static const char kHex[] = "0123456789ABCDEF";
    unsigned picture = c == 0x7F ? 0x21u : c;
    char text[] = "&#x24__;";
    text[5] = kHex[picture >> 4];
    text[6] = kHex[picture & 15];
    Put(text);
}

void PageWriter::PutEscaped(const char* s, size_t len)
{
    size_t start = 0;
    for (size_t i = 0; i < len; ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (IsPlainByte(c))
            continue;
        Put(s + start, i - start);
        PutReference(c);
        start = i + 1;
    }
    Put(s + start, len - start);
}

// Switches the page's bytes to set, when they are not in it already.
void PageWriter::Show(int set)
{
    if (m_shown != set)
        Put(kIsoEscapes[set], kIsoEscapeLength);
    m_shown = set;
}

// An ISO-2022-JP line, taken to start in ASCII as the charset's lines do: the bytes of a
// katakana or two-byte run are copied as they are, behind the escape sequence of their set;
// every other byte is written in a text set, escaped as in any page (an escape sequence that
// browsers do not know shows its ESC as a control picture). The page is back in ASCII when the
// line ends, so that its own markup reads as markup.
void PageWriter::PutIsoLine(const char* s, size_t len)
{
    int set = kIsoAscii;  // the set of the line's bytes where it stands
    size_t i = 0;
    while (i < len) {
        int named = IsoEscapeAt(s + i, len - i);
        if (named >= 0) {
            set = named;
            i += kIsoEscapeLength;
            continue;
        }
        size_t run = i + 1;
        bool characters = set >= kIsoFirstCharacterSet && IsCharacterByte(static_cast<unsigned char>(s[i]));
        while (run < len && s[run] != '\x1B' &&
               (characters ? IsCharacterByte(static_cast<unsigned char>(s[run])) : set < kIsoFirstCharacterSet))
            ++run;
        Show(characters || set < kIsoFirstCharacterSet ? set : kIsoAscii);
        if (characters)
            Put(s + i, run - i);
        else
            PutEscaped(s + i, run - i);
        i = run;
    }
    Show(kIsoAscii);
}

bool PageWriter::Finish()
{
    Flush();
    return !m_failed;
}

void WriteHead(PageWriter& out, const DiffPageFacts& facts)
{
    out.Put("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"");
    out.Put(facts.charset);
    out.Put("\">\n<title>Changes between two snapshots</title>\n");
    out.Put(kStyle);
    out.Put("</head>\n<body>\n<h1>Changes between two snapshots</h1>\n");
}

void PutCount(PageWriter& out, uint64_t n, const char* one, const char* many)
{
    out.PutNumber(n);
    out.Put(n == 1 ? one : many);
}

void WriteDateRow(PageWriter& out, const char* heading, const char* label, uint64_t size)
{
    out.Put("<tr><th>");
    out.Put(heading);
    out.Put("</th><td>");
    if (label != nullptr && label[0] != '\0')
        out.PutEscaped(label, strlen(label));
    else
        out.Put("(no date)");
    out.Put("</td><td>");
    PutCount(out, size, " byte", " bytes");
    out.Put("</td></tr>\n");
}

void WriteDates(PageWriter& out, const DiffPageFacts& facts)
{
    out.Put("<table class=\"dates\">\n");
    WriteDateRow(out, "Older", facts.olderLabel, facts.olderSize);
    WriteDateRow(out, "Newer", facts.newerLabel, facts.newerSize);
    out.Put("</table>\n");
}

void WriteSummary(PageWriter& out, const DiffResult& result)
{
    out.Put("<p>");
    PutCount(out, result.DeletedLines(), " line removed, ", " lines removed, ");
    PutCount(out, result.InsertedLines(), " line added", " lines added");
    out.Put(", in ");
    PutCount(out, result.HunkCount(), " place.", " places.");
    out.Put(" Removed lines are struck through in red, added lines are green.</p>\n");
}

void WriteHunkHeader(PageWriter& out, const DiffHunk& hunk)
{
    out.Put("<span class=\"hunk\">@@ -");
    out.PutNumber(hunk.olderStart);
    out.Put(",");
    out.PutNumber(hunk.olderCount);
    out.Put(" +");
    out.PutNumber(hunk.newerStart);
    out.Put(",");
    out.PutNumber(hunk.newerCount);
    out.Put(" @@</span>\n");
}

// Lines [from, to) of a table, each inside open ... close after its marker.
void WriteLines(PageWriter& out, const LineTable& table, uint32_t from, uint32_t to, const char* open,
                const char* close)
{
    for (uint32_t i = from; i < to; ++i) {
        out.Put(open);
        out.PutLine(table.Text(i), table.Length(i));
        out.Put(close);
    }
}

void WriteHunk(PageWriter& out, const LineTable& older, const LineTable& newer, const DiffResult& result,
               const DiffHunk& hunk)
{
    WriteHunkHeader(out, hunk);
    uint32_t x = hunk.olderIndex;
    for (uint32_t e = hunk.firstEdit; e < hunk.firstEdit + hunk.editCount; ++e) {
        const LineEdit& edit = result.Edit(e);
        WriteLines(out, older, x, edit.olderIndex, " ", "\n");
        WriteLines(out, older, edit.olderIndex, edit.olderIndex + edit.olderCount, "<del>-", "</del>\n");
        WriteLines(out, newer, edit.newerIndex, edit.newerIndex + edit.newerCount, "<ins>+", "</ins>\n");
        x = edit.olderIndex + edit.olderCount;
    }
    WriteLines(out, older, x, hunk.olderIndex + hunk.olderCount, " ", "\n");
}

void WriteBody(PageWriter& out, const LineTable& older, const LineTable& newer, const DiffResult& result,
               const DiffPageFacts& facts)
{
    if (result.Outcome() == kDiffFailed) {
        out.Put("<p>The two snapshots could not be compared: a file could not be read.</p>\n");
    } else if (result.Outcome() == kDiffTooDifferent) {
        out.Put("<p>The two versions differ too much to list their differences line by line. The older is ");
        PutCount(out, facts.olderSize, " byte", " bytes");
        out.Put(" long, the newer ");
        PutCount(out, facts.newerSize, " byte", " bytes");
        out.Put(".</p>\n");
    } else if (result.HunkCount() == 0) {
        out.Put("<p>The two snapshots have the same text.</p>\n");
    } else {
        WriteSummary(out, result);
        out.Put("<pre>\n");
        for (size_t h = 0; h < result.HunkCount(); ++h)
            WriteHunk(out, older, newer, result, result.Hunk(h));
        out.Put("</pre>\n");
    }
}

}  // namespace

bool WriteDiffPage(ByteSink& sink, const LineTable& older, const LineTable& newer, const DiffResult& result,
                   const DiffPageFacts& facts)
{
    if (facts.charset == nullptr || !IsCharsetName(facts.charset, strlen(facts.charset)))
        return false;
    PageWriter out(sink, ClassifyCharsetName(facts.charset) == kCharsetIso2022Jp);
    WriteHead(out, facts);
    WriteDates(out, facts);
    WriteBody(out, older, newer, result, facts);
    out.Put("</body>\n</html>\n");
    return out.Finish();
}

bool WriteDiffPageFile(const char* path, const LineTable& older, const LineTable& newer, const DiffResult& result,
                       const DiffPageFacts& facts)
{
    OutputFile file;
    if (!file.Create(path))
        return false;
    OutputFileSink sink(file);
    return WriteDiffPage(sink, older, newer, result, facts);
}

// ---- date labels ---------------------------------------------------------------------------

namespace {

// Parses the stamp of a snapshot name into "YYYY-MM-DD hh:mm:ss" in label (kSnapshotLabelSize
// bytes).
bool ParseStamp(const char* name, char* label)
{
    SnapshotTime t;
    if (!ParseSnapshotName(name, &t))
        return false;
    const char* pieces[] = {t.year, "-", t.month, "-", t.day, " ", t.hour, ":", t.minute, ":", t.second};
    return JoinText(label, kSnapshotLabelSize, pieces, sizeof(pieces) / sizeof(pieces[0]));
}

// Printable ASCII as it is, any other character (a double-byte one counts once) as "?".
void CopyAsciiSafe(const char* name, char* dst, size_t size)
{
    size_t len = strlen(name);
    size_t used = 0;
    for (size_t i = 0; i < len && used + 1 < size; i += cp932::CharLength(name, i, len)) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        dst[used++] = (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    }
    dst[used] = '\0';
}

const char* BaseName(const char* path)
{
    size_t len = strlen(path);
    long backslash = cp932::FindLastChar(path, len, '\\');
    long slash = cp932::FindLastChar(path, len, '/');
    long last = backslash > slash ? backslash : slash;
    return path + (last + 1);
}

}  // namespace

bool MakeSnapshotLabel(const char* name, char* dst, size_t size)
{
    if (size == 0)
        return false;
    const char* base = BaseName(name);
    char label[kSnapshotLabelSize];
    if (ParseStamp(base, label)) {
        size_t len = strlen(label);
        if (len + 1 > size) {
            dst[0] = '\0';
            return false;
        }
        memcpy(dst, label, len + 1);
        return true;
    }
    CopyAsciiSafe(base, dst, size);
    return false;
}
