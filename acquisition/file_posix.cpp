// File layer over POSIX descriptors, for the native build.
#include "acquisition/file_io.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int Fd(intptr_t h) { return static_cast<int>(h); }

}  // namespace

bool OutputFile::Create(const char* path)
{
    Close();
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    m_handle = fd;
    return fd >= 0;
}

bool OutputFile::Write(const void* data, size_t len)
{
    const char* p = static_cast<const char*>(data);
    while (len > 0) {
        ssize_t done = write(Fd(m_handle), p, len);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        p += done;
        len -= static_cast<size_t>(done);
    }
    return true;
}

bool OutputFile::FlushToDisk() { return fsync(Fd(m_handle)) == 0; }

void OutputFile::Close()
{
    if (m_handle != -1) {
        close(Fd(m_handle));
        m_handle = -1;
    }
}

bool InputFile::Open(const char* path)
{
    Close();
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    m_handle = fd;
    return fd >= 0;
}

long InputFile::Read(void* buf, size_t size)
{
    for (;;) {
        ssize_t got = read(Fd(m_handle), buf, size);
        if (got >= 0)
            return static_cast<long>(got);
        if (errno != EINTR)
            return -1;
    }
}

bool InputFile::SeekTo(uint64_t offset)
{
    return lseek(Fd(m_handle), static_cast<off_t>(offset), SEEK_SET) != static_cast<off_t>(-1);
}

bool InputFile::Size(uint64_t* size) const
{
    struct stat info;
    if (fstat(Fd(m_handle), &info) != 0)
        return false;
    *size = static_cast<uint64_t>(info.st_size);
    return true;
}

void InputFile::Close()
{
    if (m_handle != -1) {
        close(Fd(m_handle));
        m_handle = -1;
    }
}

bool RenameOver(const char* from, const char* to) { return rename(from, to) == 0; }

bool RemoveFile(const char* path) { return unlink(path) == 0; }

bool PathExists(const char* path) { return access(path, F_OK) == 0; }
