// File layer over Win32 file handles, for the program.
#include "acquisition/file_io.h"

#include <windows.h>

namespace {

HANDLE Handle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;

}  // namespace

bool OutputFile::Create(const char* path)
{
    Close();
    HANDLE h = CreateFileA(path, GENERIC_WRITE, kShareAll, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    m_handle = reinterpret_cast<intptr_t>(h);  // INVALID_HANDLE_VALUE is -1
    return h != INVALID_HANDLE_VALUE;
}

bool OutputFile::Write(const void* data, size_t len)
{
    const char* p = static_cast<const char*>(data);
    while (len > 0) {
        DWORD chunk = len > 0x10000000u ? 0x10000000u : static_cast<DWORD>(len);
        DWORD done = 0;
        if (!WriteFile(Handle(m_handle), p, chunk, &done, nullptr) || done == 0)
            return false;
        p += done;
        len -= done;
    }
    return true;
}

bool OutputFile::FlushToDisk() { return FlushFileBuffers(Handle(m_handle)) != 0; }

void OutputFile::Close()
{
    if (m_handle != -1) {
        CloseHandle(Handle(m_handle));
        m_handle = -1;
    }
}

bool InputFile::Open(const char* path)
{
    Close();
    HANDLE h = CreateFileA(path, GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    m_handle = reinterpret_cast<intptr_t>(h);
    return h != INVALID_HANDLE_VALUE;
}

long InputFile::Read(void* buf, size_t size)
{
    DWORD chunk = size > 0x10000000u ? 0x10000000u : static_cast<DWORD>(size);
    DWORD got = 0;
    if (!ReadFile(Handle(m_handle), buf, chunk, &got, nullptr))
        return -1;
    return static_cast<long>(got);
}

bool InputFile::SeekTo(uint64_t offset)
{
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(Handle(m_handle), distance, nullptr, FILE_BEGIN) != 0;
}

bool InputFile::Size(uint64_t* size) const
{
    LARGE_INTEGER length;
    if (!GetFileSizeEx(Handle(m_handle), &length))
        return false;
    *size = static_cast<uint64_t>(length.QuadPart);
    return true;
}

void InputFile::Close()
{
    if (m_handle != -1) {
        CloseHandle(Handle(m_handle));
        m_handle = -1;
    }
}

bool RenameOver(const char* from, const char* to)
{
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool RemoveFile(const char* path) { return DeleteFileA(path) != 0; }

bool PathExists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }
