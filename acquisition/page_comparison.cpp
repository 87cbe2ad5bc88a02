#include "acquisition/page_comparison.h"

#include "acquisition/files_differ.h"
#include "acquisition/part_comparison.h"
#include "acquisition/visible_text_compare.h"

int ComparePageFiles(const char* newPath, const char* oldPath, CompareMethod method)
{
    return method == CompareMethod::kTextOnly ? CompareVisibleText(newPath, oldPath)
                                              : CompareTextFiles(newPath, oldPath);
}

int ComparePageFiles(const char* newPath, const char* oldPath, CompareMethod method, const ComparedPart& part,
                     bool* rangeMissing)
{
    *rangeMissing = false;
    if (part.WholePage())
        return ComparePageFiles(newPath, oldPath, method);
    return ComparePageParts(newPath, oldPath, method, part, rangeMissing);
}
