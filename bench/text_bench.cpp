// Times one way of reading page files, best of several runs, and reports the process's peak
// resident memory: the "text only" comparison (CompareVisibleText), the whole-page comparison
// (CompareTextFiles), either of them on a range with ignored texts (ComparePageParts: part-text,
// part-whole; the range from "商品" at the page's start to an end text that never comes, three
// ignored texts, one of them on the session token's line), or the extraction of one file's readable text into a sink that counts it.
// One way per process, so that the peak memory belongs to it alone.
// Usage: text_bench text|whole|part-text|part-whole NEW OLD [RUNS]     text_bench extract PAGE [RUNS]
// Prints: result=<0|1, or the text's bytes> seconds=<best s> peak_rss_kb=<KB>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>

#include <initializer_list>

#include "acquisition/files_differ.h"
#include "acquisition/part_comparison.h"
#include "acquisition/visible_text_compare.h"
#include "bench/bench_clock.h"

namespace {

class CountingSink final : public ByteSink {
public:
    bool Put(const char*, size_t len) override
    {
        bytes += len;
        return true;
    }
    size_t bytes = 0;
};

ComparedPart BenchPart()
{
    ComparedPart part;
    strcpy(part.from, "\x8f\xa4\x95\x69");  // "商品"
    strcpy(part.to, "no such end text");
    strcpy(part.ignore, "stock 7.\nPR\ncsrf");  // the session token's line too
    return part;
}

bool IsMode(const char* mode)
{
    for (const char* known : {"text", "whole", "part-text", "part-whole"}) {
        if (strcmp(mode, known) == 0)
            return true;
    }
    return false;
}

long RunOnce(const char* mode, char** files)
{
    if (strcmp(mode, "text") == 0)
        return CompareVisibleText(files[0], files[1]);
    if (strcmp(mode, "whole") == 0)
        return CompareTextFiles(files[0], files[1]);
    if (strncmp(mode, "part-", 5) == 0) {
        static const ComparedPart part = BenchPart();
        bool missing = false;
        CompareMethod method = strcmp(mode, "part-text") == 0 ? CompareMethod::kTextOnly : CompareMethod::kWholePage;
        long differ = ComparePageParts(files[0], files[1], method, part, &missing);
        return missing ? -1 : differ;
    }
    CountingSink sink;
    return ExtractVisibleTextFile(files[0], sink) ? static_cast<long>(sink.bytes) : -1;
}

}  // namespace

int main(int argc, char** argv)
{
    bool extract = argc >= 3 && strcmp(argv[1], "extract") == 0;
    int files = extract ? 1 : 2;
    if (argc < 2 + files || (!extract && !IsMode(argv[1]))) {
        fprintf(stderr, "usage: %s text|whole|part-text|part-whole NEW OLD [RUNS] | extract PAGE [RUNS]\n", argv[0]);
        return 2;
    }
    int runs = argc > 2 + files ? atoi(argv[2 + files]) : 3;
    double best = 1e30;
    long result = -1;
    for (int i = 0; i < runs; ++i) {
        double start = Now();
        result = RunOnce(argv[1], argv + 2);
        double seconds = Now() - start;
        best = seconds < best ? seconds : best;
    }
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    printf("result=%ld seconds=%.6f peak_rss_kb=%ld\n", result, best, usage.ru_maxrss);
    return 0;
}
