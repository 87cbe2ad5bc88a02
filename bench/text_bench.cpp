// Times one way of reading page files, best of several runs, and reports the process's peak
// resident memory: the "text only" comparison (CompareVisibleText), the whole-page comparison
// (CompareTextFiles), or the extraction of one file's readable text into a sink that counts it.
// One way per process, so that the peak memory belongs to it alone.
// Usage: text_bench text|whole NEW OLD [RUNS]     text_bench extract PAGE [RUNS]
// Prints: result=<0|1, or the text's bytes> seconds=<best s> peak_rss_kb=<KB>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>

#include "acquisition/files_differ.h"
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

long RunOnce(const char* mode, char** files)
{
    if (strcmp(mode, "text") == 0)
        return CompareVisibleText(files[0], files[1]);
    if (strcmp(mode, "whole") == 0)
        return CompareTextFiles(files[0], files[1]);
    CountingSink sink;
    return ExtractVisibleTextFile(files[0], sink) ? static_cast<long>(sink.bytes) : -1;
}

}  // namespace

int main(int argc, char** argv)
{
    bool extract = argc >= 3 && strcmp(argv[1], "extract") == 0;
    int files = extract ? 1 : 2;
    if (argc < 2 + files || (!extract && strcmp(argv[1], "text") != 0 && strcmp(argv[1], "whole") != 0)) {
        fprintf(stderr, "usage: %s text|whole NEW OLD [RUNS] | extract PAGE [RUNS]\n", argv[0]);
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
