#include "registry/data_home.h"

#include <windows.h>

#include "base/decimal.h"
#include "registry/data_paths.h"
#include "registry/profile.h"

void FindDataHome(char (&folder)[kPathBufferSize])
{
    char dataDir[kPathBufferSize];
    if (MakeDataDir(dataDir) && GetFileAttributesA(dataDir) != INVALID_FILE_ATTRIBUTES)
        CopyText(folder, sizeof folder, dataDir);
    else
        GetExeDir(folder, sizeof folder);
}

bool CanCreateFileIn(const char* folder)
{
    DecimalText process(static_cast<long>(GetCurrentProcessId()));
    char path[kPathBufferSize];
    const char* pieces[] = {folder, "\\~sitewake-", process, ".tmp"};
    if (!JoinPath(path, pieces))
        return false;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return DeleteFileA(path) != 0;
}
