#include "acquisition/page_comparison.h"

#include "acquisition/files_differ.h"
#include "acquisition/part_comparison.h"
#include "acquisition/visible_text_compare.h"

int ComparePageFiles(const char* newPath, const char* oldPath, CompareMethod method, const ComparedPart& part,
                     bool* rangeMissing)
{
    if (!part.WholePage())
        return ComparePageParts(newPath, oldPath, method, part, rangeMissing);
    *rangeMissing = false;
    return method == CompareMethod::kTextOnly ? CompareVisibleText(newPath, oldPath)
                                              : CompareTextFiles(newPath, oldPath);
}
