// Fuzzes the readable-text extraction. The input's first bytes pick the charset and the piece
// sizes, the rest is the page. Checks that the text is the same whatever the piece sizes, that it
// stays within a small multiple of the page, that it has no empty line, no double space and no
// blank at a line's edge, that a script's body never shows (two pages differing only in it give the
// same text), that the byte-by-byte reading and the reading in runs agree, and that the page
// file's text and its comparison with itself agree with the above.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "acquisition/page_charset.h"
#include "acquisition/visible_text.h"
#include "acquisition/visible_text_compare.h"
#include "tests/native/string_sink.h"

namespace {

std::string g_path;

// Feeds the page in pieces of 1 to maxPiece bytes drawn from seed (all at once when maxPiece is 0).
std::string Extract(const std::string& page, CharsetKind kind, uint32_t seed, size_t maxPiece)
{
    StringSink sink;
    VisibleTextFilter filter(kind, sink);
    for (size_t i = 0; i < page.size();) {
        seed = seed * 1103515245u + 12345u;
        size_t n = maxPiece == 0 ? page.size() - i : (seed >> 16) % maxPiece + 1;
        n = n < page.size() - i ? n : page.size() - i;
        if (!filter.Put(page.data() + i, n))
            abort();
        i += n;
    }
    if (!filter.Finish())
        abort();
    return sink.text;
}

void CheckShape(const std::string& text, size_t pageSize)
{
    if (text.size() > 4 * pageSize + 64)
        abort();
    if (text.empty())
        return;
    if (text.back() != '\n' || text[0] == '\n' || text[0] == ' ')
        abort();
    if (text.find("\n\n") != std::string::npos || text.find("  ") != std::string::npos ||
        text.find(" \n") != std::string::npos || text.find("\n ") != std::string::npos)
        abort();
    if (text.find('\0') != std::string::npos)
        abort();
}

// Whatever state the page leaves the extractor in, these bytes bring it back to plain text in ASCII:
// they end an escape sequence, a comment, a CDATA section, either quote, a tag and every raw text.
const char kBackToText[] = "\x1B(B-->]]>\"'></script></style></noscript></iframe></noembed></noframes>";

void CheckScriptBodyHidden(const std::string& page, CharsetKind kind)
{
    std::string a = page + kBackToText + "<script>var t = 1; if (x < y && z > w) s = '</scr' + 'ipt>';</script>after";
    std::string b = page + kBackToText + "<SCRIPT type=module>document.write(\"<p>shown?</p>\")</script >after";
    std::string ta = Extract(a, kind, 0, 0);
    if (ta != Extract(b, kind, 0, 0) || ta.size() < 6 || ta.compare(ta.size() - 6, 6, "after\n") != 0)
        abort();
}

void CheckFile(const std::string& page)
{
    FILE* f = fopen(g_path.c_str(), "wb");
    if (f == nullptr || fwrite(page.data(), 1, page.size(), f) != page.size() || fclose(f) != 0)
        abort();
    std::string text = page.substr(0, page.find('\x1A'));
    PageCharset charset;
    SniffPageCharset(text.data(), text.size(), &charset);
    StringSink sink;
    if (!ExtractVisibleTextFile(g_path.c_str(), sink) || sink.text != Extract(text, charset.kind, 0, 0))
        abort();
    if (CompareVisibleTextInBlocks(g_path.c_str(), g_path.c_str(), 1 + page.size() % 7) != 0)
        abort();
}

void RemoveFile() { unlink(g_path.c_str()); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_path = "/tmp/sitewake-fuzz-visible-text-" + std::to_string(getpid());
    atexit(RemoveFile);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    static const CharsetKind kKinds[] = {kCharsetShiftJis, kCharsetEucJp, kCharsetUtf8, kCharsetIso2022Jp,
                                         kCharsetOther};
    CharsetKind kind = kKinds[data[0] % 5];
    uint32_t seed = static_cast<uint32_t>(data[1]) << 8 | data[2];
    size_t maxPiece = data[3] % 4 == 0 ? 1 : data[3];
    std::string page(reinterpret_cast<const char*>(data) + 4, size - 4);
    std::string whole = Extract(page, kind, 0, 0);
    CheckShape(whole, page.size());
    if (Extract(page, kind, seed, maxPiece) != whole)
        abort();
    // Without escape sequences ISO-2022-JP reads as ASCII, byte by byte: the same text as the runs
    // read for another ASCII-compatible charset.
    bool noEscape = page.find('\x1B') == std::string::npos;
    if (noEscape && Extract(page, kCharsetIso2022Jp, 0, 0) != Extract(page, kCharsetOther, 0, 0))
        abort();
    CheckScriptBodyHidden(page, kind);
    CheckFile(page);
    return 0;
}
