// The comparison page of a snapshot: the differences from the snapshot before it, as an HTML
// page that declares the charset the newer snapshot declares (Shift_JIS when none).
#pragma once
#include "registry/site_settings.h"

struct ComparisonFiles {
    const char* olderPath;  // the snapshot before
    const char* newerPath;  // the chosen snapshot
    const char* pagePath;   // the page to write (created or replaced)
    // For a site compared on its readable text: the two texts are extracted into these work
    // files first and the page lists their differences. Null for a whole-page site.
    const char* olderTextPath;
    const char* newerTextPath;
    // For a site whose watch sets a range or ignored texts: the lines of its pages that count
    // (read as method says) are written into the work files instead. Null otherwise.
    const ComparedPart* part = nullptr;
    CompareMethod method = CompareMethod::kWholePage;
};

// Writes the page. False when a snapshot cannot be read or the page cannot be written whole.
bool WriteComparisonPage(const ComparisonFiles& files);
