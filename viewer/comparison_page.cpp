#include "viewer/comparison_page.h"

#include "acquisition/file_io.h"
#include "acquisition/http_fetch.h"
#include "acquisition/page_charset.h"
#include "acquisition/part_comparison.h"
#include "acquisition/visible_text_compare.h"
#include "viewer/diff_page.h"
#include "viewer/line_diff.h"
#include "viewer/text_sources.h"

namespace {

bool ExtractTextInto(const char* pagePath, const char* textPath, const ComparisonFiles& files)
{
    OutputFile file;
    if (!file.Create(textPath))
        return false;
    OutputFileSink sink(file);
    if (files.part)
        return WritePagePart(pagePath, files.method, *files.part, sink);
    return ExtractVisibleTextFile(pagePath, sink);
}

// The sizes the page gives: the snapshot files' own, also when their extracted texts were compared.
bool SnapshotSizes(const ComparisonFiles& files, const DiffResult& result, uint64_t* olderSize, uint64_t* newerSize)
{
    *olderSize = result.OlderSize();
    *newerSize = result.NewerSize();
    if (!files.olderTextPath || !files.newerTextPath)
        return true;
    return MeasureFile(files.olderPath, olderSize) && MeasureFile(files.newerPath, newerSize);
}

}  // namespace

bool WriteComparisonPage(const ComparisonFiles& files)
{
    const char* older = files.olderPath;
    const char* newer = files.newerPath;
    if (files.olderTextPath && files.newerTextPath) {
        if (!ExtractTextInto(files.olderPath, files.olderTextPath, files) ||
            !ExtractTextInto(files.newerPath, files.newerTextPath, files))
            return false;
        older = files.olderTextPath;
        newer = files.newerTextPath;
    }
    LineTable olderLines;
    LineTable newerLines;
    DiffResult result;
    uint64_t olderSize = 0;
    uint64_t newerSize = 0;
    if (DiffFilePaths(older, newer, &olderLines, &newerLines, &result) == kDiffFailed ||
        !SnapshotSizes(files, result, &olderSize, &newerSize))
        return false;
    char olderLabel[kSnapshotLabelSize];
    char newerLabel[kSnapshotLabelSize];
    MakeSnapshotLabel(files.olderPath, olderLabel, sizeof olderLabel);
    MakeSnapshotLabel(files.newerPath, newerLabel, sizeof newerLabel);
    PageCharset charset;
    SniffFileCharset(files.newerPath, &charset);
    DiffPageFacts facts = {olderLabel, newerLabel, olderSize, newerSize, charset.name};
    return WriteDiffPageFile(files.pagePath, olderLines, newerLines, result, facts);
}
