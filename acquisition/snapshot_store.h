// Keeping what was fetched: the reference copy for the next comparison and a dated snapshot.
#pragma once

// Copies the fetched copy over the reference copy, then to the snapshot path. The second copy is
// made whatever became of the first; each goes through a temporary renamed into place, so neither
// destination is ever left half-written. Returns 1 when both copies succeeded, else 0.
int CommitSnapshot(const char* newPath, const char* oldPath, const char* snapshotPath);
