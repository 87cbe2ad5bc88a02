// Keeping what was fetched: a dated snapshot and the reference copy for the next comparison.
#pragma once

struct SitePaths;

// Copies the fetched copy to the snapshot path first and, only once the snapshot is in place
// under its own name, over the reference copy. Each copy goes through the site's temporary and
// is renamed into place, so neither destination is ever left half-written, and a snapshot that
// could not be written leaves the reference copy as it was: the next pass finds the change
// again. Returns 1 when both copies succeeded, else 0.
int CommitSnapshot(const SitePaths& paths);
