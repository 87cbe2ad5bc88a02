// Times the comparison page for two snapshot files: the line diff and the page written to a file,
// best of several runs, and reports the peak resident memory of the process.
// Usage: diff_bench OLDER NEWER PAGE [RUNS]
// Prints: outcome=<listed|too_different|failed> hunks=<n> deleted=<n> inserted=<n> page_bytes=<n>
//         seconds=<best s> peak_rss_kb=<n>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "bench/bench_clock.h"
#include "viewer/diff_page.h"
#include "viewer/line_diff.h"

namespace {

const char* OutcomeName(DiffOutcome outcome)
{
    return outcome == kDiffListed ? "listed" : outcome == kDiffTooDifferent ? "too_different" : "failed";
}

// One comparison page, as the program makes it.
DiffOutcome MakePage(const char* older, const char* newer, const char* page, DiffResult* result)
{
    LineTable a, b;
    DiffOutcome outcome = DiffFilePaths(older, newer, &a, &b, result);
    char olderLabel[kSnapshotLabelSize];
    char newerLabel[kSnapshotLabelSize];
    MakeSnapshotLabel(older, olderLabel, sizeof olderLabel);
    MakeSnapshotLabel(newer, newerLabel, sizeof newerLabel);
    DiffPageFacts facts = {olderLabel, newerLabel, result->OlderSize(), result->NewerSize(), "Shift_JIS"};
    if (!WriteDiffPageFile(page, a, b, *result, facts)) {
        fprintf(stderr, "cannot write %s\n", page);
        exit(1);
    }
    return outcome;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: %s OLDER NEWER PAGE [RUNS]\n", argv[0]);
        return 2;
    }
    int runs = argc > 4 ? atoi(argv[4]) : 3;
    double best = 1e30;
    DiffResult result;
    DiffOutcome outcome = kDiffFailed;
    for (int i = 0; i < runs; ++i) {
        double start = Now();
        outcome = MakePage(argv[1], argv[2], argv[3], &result);
        double seconds = Now() - start;
        best = seconds < best ? seconds : best;
    }
    struct stat st;
    long long pageBytes = stat(argv[3], &st) == 0 ? static_cast<long long>(st.st_size) : -1;
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    printf("outcome=%s hunks=%zu deleted=%u inserted=%u page_bytes=%lld seconds=%.6f peak_rss_kb=%ld\n",
           OutcomeName(outcome), result.HunkCount(), result.DeletedLines(), result.InsertedLines(), pageBytes, best,
           usage.ru_maxrss);
    return 0;
}
