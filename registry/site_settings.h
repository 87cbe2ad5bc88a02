// How a site is watched, as its entry in the registry file keeps it.
#pragma once

// How a fetched copy is compared with the reference copy: line by line as the whole page, or on
// the page's readable text alone (markup, scripts, styles and spacing left out).
enum class CompareMethod : unsigned char {
    kWholePage,
    kTextOnly,
};

// ---- How often a site is checked, and which part of its page counts -------------------------

enum {
    kRangeTextSize = 256,      // a range's start or end text: at most 255 bytes
    kIgnoreTextsSize = 1024,   // the ignored texts joined by LF: at most 1,023 bytes in all
};

// The intervals a site can be checked at, in minutes: every pass (0, the default), 1, 3, 6 and
// 12 hours, a day, a week.
inline constexpr unsigned long kCheckIntervals[] = {0, 60, 180, 360, 720, 1440, 10080};
inline constexpr int kCheckIntervalCount = sizeof(kCheckIntervals) / sizeof(kCheckIntervals[0]);

// Which part of a page decides whether it changed. Empty texts leave the whole page to count.
// The range runs from the first occurrence of `from` (included) to the next occurrence of `to`
// after it (left out), or to the end of the page; a page without `from` counts whole. A line of
// what counts that holds one of the ignored texts is left out.
struct ComparedPart {
    char from[kRangeTextSize] = {};
    char to[kRangeTextSize] = {};
    char ignore[kIgnoreTextsSize] = {};  // the texts one after another, LF between them

    bool HasRange() const { return from[0] != '\0' || to[0] != '\0'; }
    bool WholePage() const { return !HasRange() && ignore[0] == '\0'; }
};

// A site's watch beyond its comparison method: how often it is checked and what counts.
struct SiteWatch {
    unsigned long interval = 0;  // minutes, one of kCheckIntervals
    ComparedPart part;

    bool IsDefault() const { return interval == 0 && part.WholePage(); }
};
