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

namespace {

StoreResult ResultOf(AppendResult appended)
{
    switch (appended) {
    case AppendResult::kAppended: return StoreResult::kStored;
    case AppendResult::kNoNumberLeft: return StoreResult::kNoNumberLeft;
    default: return StoreResult::kNotWritten;
    }
}

void MakeSiteFolder(long code)
{
    char siteDir[kPathBufferSize];
    if (MakeSitePrefix(siteDir, code))
        CreateDirectoryA(siteDir, nullptr);
}

bool FolderExists(long code)
{
    char folder[kPathBufferSize];
    if (!MakeSitePrefix(folder, code))
        return false;
    DWORD attributes = GetFileAttributesA(folder);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Stores the sites through append once the data folder is there.
template <class Append> StoreResult StoreWith(Append append)
{
    char dataDir[kPathBufferSize];
    char registryPath[kPathBufferSize];
    if (!MakeDataDir(dataDir) || !MakeRegistryPath(registryPath))
        return StoreResult::kPathTooLong;
    CreateDirectoryA(dataDir, nullptr);
    return ResultOf(append(registryPath));
}

}  // namespace

NewSiteCodes::NewSiteCodes() : m_next(0)
{
    char codeText[kSiteCodeTextSize] = {};
    MakeSiteCode(codeText, sizeof codeText);
    m_next = ParseLeadingDecimal(codeText, nullptr);
    char registryPath[kPathBufferSize];
    if (!MakeRegistryPath(registryPath))
        return;
    LoadedRegistry registry(registryPath);
    if (registry.Sites())
        registry.Sites()->ForEachCode([](void* taken, long code) { static_cast<CodeSet*>(taken)->Add(code); },
                                      &m_taken);
}

long NewSiteCodes::Next()
{
    while (m_next < 0x7FFFFFFF && (m_taken.Contains(m_next) || FolderExists(m_next)))
        ++m_next;
    m_taken.Add(m_next);
    return m_next;
}

StoreResult StoreNewSite(const NewSiteEntry& site)
{
    StoreResult result = StoreWith([&](const char* path) { return AppendSiteEntry(path, site); });
    if (result == StoreResult::kStored)
        MakeSiteFolder(site.code);
    return result;
}

StoreResult StoreNewSites(const NewSiteEntry* sites, size_t count)
{
    StoreResult result = StoreWith([&](const char* path) { return AppendSiteEntries(path, sites, count); });
    for (size_t i = 0; result == StoreResult::kStored && i < count; ++i)
        MakeSiteFolder(sites[i].code);
    return result;
}

void DeleteSiteEntry(long code)
{
    char registryPath[kPathBufferSize];
    if (MakeRegistryPath(registryPath))
        MarkSiteDeleted(registryPath, code);
}
