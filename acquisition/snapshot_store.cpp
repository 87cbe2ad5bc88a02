#include "acquisition/snapshot_store.h"

#include "acquisition/file_io.h"
#include "acquisition/site_paths.h"

int CommitSnapshot(const SitePaths& paths)
{
    const char* dests[] = {paths.snapshotPath, paths.oldPath};  // the snapshot first
    return ReplaceFilesAtomically(paths.newPath, dests, 2, paths.tempPath) == 2 ? 1 : 0;
}
