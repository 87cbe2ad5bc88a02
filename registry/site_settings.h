// How a site is watched, as its entry in the registry file keeps it.
#pragma once

// How a fetched copy is compared with the reference copy: line by line as the whole page, or on
// the page's readable text alone (markup, scripts, styles and spacing left out).
enum class CompareMethod : unsigned char {
    kWholePage,
    kTextOnly,
};
