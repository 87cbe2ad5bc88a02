#include "acquisition/snapshot_store.h"

#include "acquisition/file_io.h"
#include "acquisition/site_paths.h"

int CommitSnapshot(const SitePaths& paths)
{
    if (!ReplaceFileAtomically(paths.newPath, paths.snapshotPath, paths.tempPath))
        return 0;
    return ReplaceFileAtomically(paths.newPath, paths.oldPath, paths.tempPath) ? 1 : 0;
}
