#pragma once
class CodeSet;
class ListView;
class WatchTable;

// Fills the site list from the registry file beside the program: one row per live entry, in entry
// order, with the name in column 0, the URL in column 1 and the code as the row's data. The codes
// of the sites compared on their text only go into textOnlySites, and each site's watch into
// watches (that of the first live entry of a code, the one its settings are written to).
void LoadSiteList(const ListView& list, CodeSet& textOnlySites, WatchTable& watches);
