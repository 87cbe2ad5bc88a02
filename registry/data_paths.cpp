#include "registry/data_paths.h"

#include <windows.h>

#include "base/decimal.h"
#include "registry/profile.h"
#include "registry/site_folder.h"

bool MakeDataDir(char (&path)[kPathBufferSize])
{
    char dir[kPathBufferSize];
    GetExeDir(dir, sizeof dir);
    const char* pieces[] = {dir, "\\data"};
    return JoinPath(path, pieces);
}

bool MakeRegistryPath(char (&path)[kPathBufferSize])
{
    char dir[kPathBufferSize];
    GetExeDir(dir, sizeof dir);
    const char* pieces[] = {dir, "\\data\\Morvel.ini"};
    return JoinPath(path, pieces);
}

bool MakeRegistryPathForWriting(char (&path)[kPathBufferSize])
{
    char dataDir[kPathBufferSize];
    if (!MakeDataDir(dataDir) || !MakeRegistryPath(path))
        return false;
    CreateDirectoryA(dataDir, nullptr);
    return true;
}

bool MakeSitePrefix(char (&path)[kPathBufferSize], const char* codeText)
{
    char dataDir[kPathBufferSize];
    return MakeDataDir(dataDir) && MakeSiteFolderPath(path, dataDir, codeText);
}

bool MakeSitePrefix(char (&path)[kPathBufferSize], long code)
{
    return MakeSitePrefix(path, IntToString(code));
}
