// Fetches one page with HttpGetToFile and reports the time taken and the peak resident memory.
// Usage: fetch_bench URL OUTPUT [PORT]   (PORT only for benchmarking against a server off port 80)
// Prints: result=<0|1> seconds=<s> stored_bytes=<n> peak_rss_kb=<k>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>

#include "bench/bench_clock.h"
#include "acquisition/http_fetch.h"

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: %s URL OUTPUT [PORT]\n", argv[0]);
        return 2;
    }
    FetchSettings settings;
    if (argc > 3)
        settings.port = static_cast<unsigned short>(atoi(argv[3]));
    double start = Now();
    int result = HttpGetToFile(argv[1], argv[2], nullptr, settings);
    double seconds = Now() - start;
    struct stat info;
    long long stored = stat(argv[2], &info) == 0 ? static_cast<long long>(info.st_size) : -1;
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    printf("result=%d seconds=%.6f stored_bytes=%lld peak_rss_kb=%ld\n", result, seconds, stored, usage.ru_maxrss);
    return result == 1 ? 0 : 1;
}
