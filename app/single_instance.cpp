#include "app/single_instance.h"

#include "base/path_join.h"
#include "base/text_hash.h"
#include "base/text_join.h"
#include "registry/profile.h"

namespace {

// "Sitewake.<kind>.<hash of the data folder's path>": no backslash, whatever the path holds.
void MakeInstanceName(char (&name)[64], const char* kind)
{
    char dir[kPathBufferSize];
    GetExeDir(dir, sizeof dir);
    CaseFoldedHash hash;
    hash.Add(dir);
    hash.Add("\\data");
    char digits[CaseFoldedHash::kHexSize];
    hash.ToHex(digits);
    const char* pieces[] = {"Sitewake.", kind, ".", digits};
    JoinText(name, pieces);
}

}  // namespace

SingleInstance::~SingleInstance()
{
    if (m_hMutex)
        CloseHandle(m_hMutex);
}

bool SingleInstance::Claim()
{
    char name[64];
    MakeInstanceName(name, "data");
    m_hMutex = CreateMutexA(nullptr, FALSE, name);
    // Without a mutex at all nothing can be told apart: the program runs as it always did.
    return !(m_hMutex && GetLastError() == ERROR_ALREADY_EXISTS);
}

void SingleInstance::ShowRunningCopy()
{
    // The running copy may bring its window to the front although this one was started last.
    AllowSetForegroundWindow(ASFW_ANY);
    PostMessageA(HWND_BROADCAST, RegisterShowRequest(), 0, 0);
}

UINT RegisterShowRequest()
{
    char name[64];
    MakeInstanceName(name, "show");
    return RegisterWindowMessageA(name);
}
