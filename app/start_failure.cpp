#include "app/start_failure.h"

#include <windows.h>
#include <string.h>

#include "base/cp932.h"
#include "base/path_join.h"
#include "registry/data_home.h"
#include "resource.h"
#include "ui/resource_text.h"

void GetAppTitle(char* title, size_t size)
{
    char module[MAX_PATH] = {};
    DWORD len = GetModuleFileNameA(nullptr, module, sizeof module - 1);
    module[len] = '\0';
    long slash = cp932::FindLastChar(module, len, '\\');
    const char* name = module + slash + 1;
    size_t nameLen = len - static_cast<size_t>(slash + 1);
    long dot = cp932::FindLastChar(name, nameLen, '.');
    if (dot >= 0)
        nameLen = static_cast<size_t>(dot);
    if (nameLen >= size)
        nameLen = size - 1;
    memcpy(title, name, nameLen);
    title[nameLen] = '\0';
}

void ShowStartFailure(const char* text)
{
    char title[MAX_PATH];
    GetAppTitle(title, sizeof title);
    MessageBoxA(nullptr, text, title, MB_OK | MB_ICONEXCLAMATION);
}

bool ConfirmDataFolderWritable()
{
    char folder[kPathBufferSize];
    FindDataHome(folder);
    if (CanCreateFileIn(folder))
        return true;
    char reason[256];
    char advice[512];
    char text[sizeof reason + sizeof folder + sizeof advice + 8];
    const char* pieces[] = {LoadResourceText(IDS_DATA_FOLDER_NOT_WRITABLE, reason, sizeof reason), "\n\n", folder,
                            "\n\n", LoadResourceText(IDS_DATA_FOLDER_ADVICE, advice, sizeof advice)};
    JoinText(text, pieces);
    ShowStartFailure(text);
    return false;
}
