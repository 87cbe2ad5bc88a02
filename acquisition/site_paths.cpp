#include "acquisition/site_paths.h"

bool SitePaths::Make(const char* sitePrefix, const char* stamp)
{
    const char* newPieces[] = {sitePrefix, SW_DIR_SEPARATOR "NEW.TEMP"};
    const char* oldPieces[] = {sitePrefix, SW_DIR_SEPARATOR "Old.TEMP"};
    const char* snapshotPieces[] = {sitePrefix, SW_DIR_SEPARATOR, stamp, ".htm"};
    const char* tempPieces[] = {sitePrefix, SW_DIR_SEPARATOR "Copy.tmp"};
    return JoinPath(newPath, newPieces) && JoinPath(oldPath, oldPieces) &&
           JoinPath(snapshotPath, snapshotPieces) && JoinPath(tempPath, tempPieces);
}
