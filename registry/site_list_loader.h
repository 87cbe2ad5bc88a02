#pragma once
class ListView;

// Fills the site list from the registry file beside the program: one row per live entry, in entry
// order, with the name in column 0, the URL in column 1 and the code as the row's data.
void LoadSiteList(const ListView& list);
