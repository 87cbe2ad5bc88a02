// The files of one site folder that a pass writes: the fetched copy, the reference copy, the
// snapshot of this fetch and the temporary every copy goes through before it is renamed into
// place. The temporary's name is no longer than the reference copy's, so whenever the site's
// paths fit, every file of the site can be written.
#pragma once
#include "base/path_join.h"

struct SitePaths {
    char newPath[kPathBufferSize];
    char oldPath[kPathBufferSize];
    char snapshotPath[kPathBufferSize];
    char tempPath[kPathBufferSize];

    // From the site folder's path and the stamp of this fetch. False when one of the paths would
    // not fit in 259 bytes: the site is then skipped for the pass.
    bool Make(const char* sitePrefix, const char* stamp);
};
