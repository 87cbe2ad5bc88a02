// Registering and deleting sites in the registry file and the data folder. The window keeps its
// list in step; these functions touch only what lies on disk.
#pragma once
#include <stddef.h>

enum { kSiteCodeTextSize = 100 };  // the buffer registration makes the code text in

// Writes the code text of the current local time (day, hour, minute, second, no leading zeros)
// into dst, which holds size bytes.
void MakeSiteCode(char* dst, size_t size);

// The code a new site gets: made from the clock, then moved on past every code an entry of the
// registry file or a site folder already uses.
long PickNewSiteCode();

// Stores a new site: the data folder, a new entry in the registry file and the site folder.
// False when the entry could not be written (the data folder's path would not fit, or no entry
// number is left); the file then stays as it was.
bool StoreNewSite(const char* name, const char* url, long code);

// Marks the registry entry of the site deleted; its folder and snapshots stay on disk.
void DeleteSiteEntry(long code);
