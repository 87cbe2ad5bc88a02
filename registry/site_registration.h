// Registering and deleting sites in the registry file and the data folder. The window keeps its
// list in step; these functions touch only what lies on disk.
#pragma once
#include <stddef.h>

#include "base/code_map.h"
#include "registry/registry_file.h"

enum { kSiteCodeTextSize = 100 };  // the buffer registration makes the code text in

// Writes the code text of the current local time (day, hour, minute, second, no leading zeros)
// into dst, which holds size bytes.
void MakeSiteCode(char* dst, size_t size);

// The code a new site gets: made from the clock, then moved on past every code an entry of the
// registry file or a site folder already uses.
long PickNewSiteCode();

// Codes for many new sites at once: the first made from the clock, each moved on past every code
// an entry of the registry file, a site folder or a code given before already uses. The file is
// read once.
class NewSiteCodes {
public:
    NewSiteCodes();
    NewSiteCodes(const NewSiteCodes&) = delete;
    NewSiteCodes& operator=(const NewSiteCodes&) = delete;
    long Next();

private:
    CodeSet m_taken;
    long m_next;
};

enum class StoreResult {
    kStored,
    kPathTooLong,   // the data folder's path would not fit
    kNoNumberLeft,  // no entry number is left
    kNotWritten,    // the registry file would not take it (read only, a full disk)
};

// Stores a new site: the data folder, a new entry in the registry file and the site folder.
// Anything but kStored leaves the file as it was.
StoreResult StoreNewSite(const NewSiteEntry& site);
// Stores many new sites at once, the registry file written once for all: all of them or none.
StoreResult StoreNewSites(const NewSiteEntry* sites, size_t count);

// Marks the registry entry of the site deleted; its folder and snapshots stay on disk.
void DeleteSiteEntry(long code);
