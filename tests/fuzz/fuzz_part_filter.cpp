// Fuzzes the part filter with hostile pages and texts. The input's first three lines are the
// range's start and end texts and the ignored texts (0x01 between them), its next byte picks the
// piece sizes, the rest is the page. Checks that the lines that count are the same whatever the
// piece sizes, that together they are never longer than the page, and that a filter copied
// halfway goes on exactly as the original.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "acquisition/part_filter.h"

namespace {

class Lines final : public KeptLineSink {
public:
    void LineText(const char* data, size_t len) override { m_line.append(data, len); }
    void EndLine(bool counts) override
    {
        if (counts)
            text += m_line + "\n";
        else
            ++leftOut;
        m_line.clear();
    }
    std::string text;
    size_t leftOut = 0;

private:
    std::string m_line;
};

// Reads one line of the input into dst (at most size - 1 bytes kept); returns the rest.
const char* TakeLine(const char* p, const char* end, char* dst, size_t size, char separator)
{
    const char* lf = static_cast<const char*>(memchr(p, '\n', static_cast<size_t>(end - p)));
    const char* stop = lf ? lf : end;
    size_t len = static_cast<size_t>(stop - p) < size - 1 ? static_cast<size_t>(stop - p) : size - 1;
    for (size_t i = 0; i < len; ++i)
        dst[i] = p[i] == '\x01' ? separator : (p[i] == '\r' ? 'r' : p[i]);
    dst[len] = '\0';
    return lf ? lf + 1 : end;
}

// Feeds the page in pieces of 1 to maxPiece bytes drawn from seed (all at once when maxPiece is 0).
void Feed(PartFilter& filter, Lines& lines, const std::string& page, size_t from, size_t to, uint32_t seed,
          size_t maxPiece)
{
    for (size_t i = from; i < to;) {
        seed = seed * 1103515245u + 12345u;
        size_t n = maxPiece == 0 ? to - i : (seed >> 16) % maxPiece + 1;
        n = n < to - i ? n : to - i;
        while (n > 0) {
            size_t taken = filter.Take(page.data() + i, n, lines);
            if (taken == 0 || taken > n)
                abort();  // no progress, or more than it was given
            i += taken;
            n -= taken;
        }
    }
}

std::string Filtered(const ComparedPart& part, const std::string& page, uint32_t seed, size_t maxPiece, size_t* leftOut)
{
    PartFilter filter(part, true);
    Lines lines;
    Feed(filter, lines, page, 0, page.size(), seed, maxPiece);
    filter.Finish(lines);
    *leftOut = lines.leftOut;
    return lines.text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* p = reinterpret_cast<const char*>(data);
    const char* end = p + size;
    static ComparedPart part;
    p = TakeLine(p, end, part.from, sizeof part.from, 'x');
    p = TakeLine(p, end, part.to, sizeof part.to, 'x');
    p = TakeLine(p, end, part.ignore, sizeof part.ignore, '\n');
    uint32_t seed = p < end ? static_cast<uint8_t>(*p++) : 0;
    std::string page(p, end);

    size_t leftOut = 0;
    std::string whole = Filtered(part, page, seed, 0, &leftOut);
    if (whole.size() > page.size() + 1)
        abort();  // every line that counts is part of the page and its LF
    for (size_t maxPiece : {size_t(1), size_t(3), size_t(17 * 1024)}) {
        size_t again = 0;
        if (Filtered(part, page, seed, maxPiece, &again) != whole || again != leftOut)
            abort();
    }
    // A copy made halfway goes on as the original.
    PartFilter filter(part, true);
    Lines lines;
    size_t half = page.size() / 2;
    Feed(filter, lines, page, 0, half, seed, 5);
    PartFilter copy = filter;
    Lines copied = lines;
    Feed(copy, copied, page, half, page.size(), seed, 0);
    copy.Finish(copied);
    if (copied.text != whole)
        abort();
    return 0;
}
