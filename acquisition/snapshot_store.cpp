#include "acquisition/snapshot_store.h"

#include "acquisition/file_io.h"

int CommitSnapshot(const char* newPath, const char* oldPath, const char* snapshotPath)
{
    bool reference = ReplaceFileAtomically(newPath, oldPath);
    bool snapshot = ReplaceFileAtomically(newPath, snapshotPath);
    return (reference && snapshot) ? 1 : 0;
}
