// Times CompareTextFiles on two files, best of several runs.
// Usage: compare_bench NEW OLD [RUNS]
// Prints: result=<0|1> seconds=<best s>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include "bench/bench_clock.h"
#include "acquisition/files_differ.h"

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: %s NEW OLD [RUNS]\n", argv[0]);
        return 2;
    }
    int runs = argc > 3 ? atoi(argv[3]) : 3;
    double best = 1e30;
    int result = -1;
    for (int i = 0; i < runs; ++i) {
        double start = Now();
        result = CompareTextFiles(argv[1], argv[2]);
        double seconds = Now() - start;
        best = seconds < best ? seconds : best;
    }
    printf("result=%d seconds=%.6f\n", result, best);
    return 0;
}
