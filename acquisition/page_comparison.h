// Whether a fetched copy differs from the reference copy, by the site's comparison method and,
// where its watch sets one, on the part of the pages that counts.
#pragma once
#include "registry/site_settings.h"

// 1 when the files differ, 0 when they are the same. A new file that cannot be opened gives 0, an
// old file that cannot be opened gives 1. Compared on the part of the pages that counts
// (ComparePageParts) where the part sets a range or ignored texts; *rangeMissing: the new file
// lacks the range's start text.
int ComparePageFiles(const char* newPath, const char* oldPath, CompareMethod method, const ComparedPart& part,
                     bool* rangeMissing);
