#include "registry/profile.h"

#include <windows.h>
#include <string.h>

#include "base/cp932.h"
#include "base/decimal.h"
#include "base/path_join.h"

int GetExeDir(char* dst, size_t size)
{
    char module[kPathBufferSize] = {};
    DWORD len = GetModuleFileNameA(nullptr, module, sizeof module);
    if (len >= sizeof module)
        len = sizeof module - 1;
    module[len] = '\0';
    long slash = cp932::FindLastChar(module, len, '\\');
    module[slash < 0 ? 0 : slash] = '\0';
    CopyText(dst, size, module);
    return 1;
}

// Applies the path rule: a name holding ":\" is used as it is, any other is joined to the
// program directory. Returns false when the joined path would not fit.
static bool ResolveProfilePath(const char* file, char (&path)[kPathBufferSize])
{
    size_t len = strlen(file);
    if (cp932::FindText(file, len, ":\\", 2) >= 0)
        return CopyText(path, sizeof path, file) == len;
    char dir[kPathBufferSize];
    GetExeDir(dir, sizeof dir);
    const char* pieces[] = {dir, "\\", file};
    return JoinPath(path, pieces);
}

int ProfileGetString(const char* file, const char* section, const char* key, const char* def,
                     char* dst, int size)
{
    char path[kPathBufferSize];
    if (!ResolveProfilePath(file, path))
        return static_cast<int>(CopyText(dst, static_cast<size_t>(size), def));
    return static_cast<int>(GetPrivateProfileStringA(section, key, def, dst, static_cast<DWORD>(size), path));
}

int ProfileGetInt(const char* file, const char* section, const char* key, int def)
{
    char path[kPathBufferSize];
    if (!ResolveProfilePath(file, path))
        return def;
    return static_cast<int>(GetPrivateProfileIntA(section, key, def, path));
}

bool ProfileWriteString(const char* file, const char* section, const char* key, const char* value)
{
    char path[kPathBufferSize];
    return ResolveProfilePath(file, path) && WritePrivateProfileStringA(section, key, value, path) != 0;
}

bool ProfileWriteSection(const char* file, const char* section, const char* data)
{
    char path[kPathBufferSize];
    return ResolveProfilePath(file, path) && WritePrivateProfileSectionA(section, data, path) != 0;
}

void ProfileWriteInt(const char* file, const char* section, const char* key, int value)
{
    ProfileWriteString(file, section, key, IntToString(value));
}

char* ProfileReadSection(const char* file, const char* section, unsigned long* length)
{
    char path[kPathBufferSize];
    if (!ResolveProfilePath(file, path))
        return nullptr;
    HANDLE heap = GetProcessHeap();
    for (DWORD size = 64 * 1024; size <= 256u * 1024 * 1024; size *= 2) {
        char* buffer = static_cast<char*>(HeapAlloc(heap, 0, size));
        if (!buffer)
            return nullptr;
        DWORD got = GetPrivateProfileSectionA(section, buffer, size, path);
        if (got < size - 2) {
            if (got == 0) {
                HeapFree(heap, 0, buffer);
                return nullptr;
            }
            buffer[got] = '\0';
            buffer[got + 1] = '\0';
            *length = got;
            return buffer;
        }
        HeapFree(heap, 0, buffer);
    }
    return nullptr;
}

void FreeSection(char* section)
{
    if (section)
        HeapFree(GetProcessHeap(), 0, section);
}
