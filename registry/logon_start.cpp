#include "registry/logon_start.h"

#include <windows.h>

#include "base/path_join.h"
#include "registry/program_options.h"

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRunValue[] = "Sitewake";
// Room for any command this program writes (a path and two quotes) and more: a longer value
// names another program.
const DWORD kCommandSize = 2 * kPathBufferSize;

// An open registry key, closed when it goes.
class RegistryKey {
public:
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey()
    {
        if (m_key)
            RegCloseKey(m_key);
    }
    bool Open(REGSAM access) { return RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, access, &m_key) == ERROR_SUCCESS; }
    bool Create()
    {
        return RegCreateKeyExA(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                               nullptr, &m_key, nullptr) == ERROR_SUCCESS;
    }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

// This program's full path; false when the platform gave none or cut it short.
bool GetProgramPath(char (&path)[kPathBufferSize])
{
    DWORD len = GetModuleFileNameA(nullptr, path, sizeof path);
    if (len == 0 || len >= sizeof path)
        return false;
    path[len] = '\0';
    return true;
}

// Whether the open key's value names this program.
bool ValueNamesProgram(HKEY key)
{
    char program[kPathBufferSize];
    char command[kCommandSize] = {};
    DWORD type = 0;
    DWORD size = sizeof command - 1;
    if (!GetProgramPath(program) ||
        RegQueryValueExA(key, kRunValue, nullptr, &type, reinterpret_cast<BYTE*>(command), &size) != ERROR_SUCCESS)
        return false;
    return (type == REG_SZ || type == REG_EXPAND_SZ) && LogonCommandNames(command, program);
}

bool WriteValue(HKEY key)
{
    char program[kPathBufferSize];
    char command[kCommandSize];
    if (!GetProgramPath(program) || !MakeLogonCommand(command, sizeof command, program))
        return false;
    DWORD size = static_cast<DWORD>(lstrlenA(command)) + 1;
    return RegSetValueExA(key, kRunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(command), size) == ERROR_SUCCESS;
}

}  // namespace

bool StartsAtLogon()
{
    RegistryKey key;
    return key.Open(KEY_QUERY_VALUE) && ValueNamesProgram(key.Get());
}

bool SetStartAtLogon(bool on)
{
    if (StartsAtLogon() == on)
        return true;  // as asked already; another copy's value is never removed
    RegistryKey key;
    if (on)
        return key.Create() && WriteValue(key.Get());
    return key.Open(KEY_SET_VALUE) && RegDeleteValueA(key.Get(), kRunValue) == ERROR_SUCCESS;
}
