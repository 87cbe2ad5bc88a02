#include "registry/site_registration.h"

#include <windows.h>
#include <time.h>

#include "base/decimal.h"
#include "base/text_join.h"
#include "registry/data_paths.h"
#include "registry/registry_file.h"

void MakeSiteCode(char* dst, size_t size)
{
    Sleep(10);
    time_t now = time(nullptr);
    const struct tm* local = localtime(&now);
    const char* pieces[] = {IntToString(local->tm_mday), IntToString(local->tm_hour),
                            IntToString(local->tm_min), IntToString(local->tm_sec)};
    JoinText(dst, size, pieces, 4);
}

long PickNewSiteCode()
{
    char codeText[kSiteCodeTextSize] = {};
    MakeSiteCode(codeText, sizeof codeText);
    long code = ParseLeadingDecimal(codeText, nullptr);
    char registryPath[kPathBufferSize];
    char dataDir[kPathBufferSize];
    if (MakeDataDir(dataDir) && MakeRegistryPath(registryPath))
        code = FindFreeCode(registryPath, code);
    return code;
}

bool StoreNewSite(const char* name, const char* url, long code)
{
    char dataDir[kPathBufferSize];
    char registryPath[kPathBufferSize];
    if (!MakeDataDir(dataDir) || !MakeRegistryPath(registryPath))
        return false;  // the data folder's path would not fit
    CreateDirectoryA(dataDir, nullptr);
    if (!AppendSiteEntry(registryPath, name, url, code))
        return false;  // no entry number left: the file stays as it is
    char siteDir[kPathBufferSize];
    if (MakeSitePrefix(siteDir, code))
        CreateDirectoryA(siteDir, nullptr);
    return true;
}

void DeleteSiteEntry(long code)
{
    char registryPath[kPathBufferSize];
    if (MakeRegistryPath(registryPath))
        MarkSiteDeleted(registryPath, code);
}
