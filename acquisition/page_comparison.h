// Whether a fetched copy differs from the reference copy, by the site's comparison method.
#pragma once
#include "registry/site_settings.h"

// 1 when the files differ, 0 when they are the same. A new file that cannot be opened gives 0, an
// old file that cannot be opened gives 1.
int ComparePageFiles(const char* newPath, const char* oldPath, CompareMethod method);
