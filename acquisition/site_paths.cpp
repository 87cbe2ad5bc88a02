#include "acquisition/site_paths.h"

#include "registry/site_folder.h"

bool SitePaths::Make(const char* sitePrefix, const char* stamp)
{
    char snapshotName[kPathBufferSize];
    return MakeSiteFilePath(newPath, sitePrefix, SiteFile::kFetchedCopy) &&
           MakeSiteFilePath(oldPath, sitePrefix, SiteFile::kReferenceCopy) &&
           MakeSnapshotName(snapshotName, stamp) && MakeSnapshotPath(snapshotPath, sitePrefix, snapshotName) &&
           MakeSiteFilePath(tempPath, sitePrefix, SiteFile::kCopyTemp);
}
