// Files under the acquisition code: Win32 file handles in the program, POSIX descriptors natively.
// Every file is opened so that other openers may read and write it meanwhile.
#pragma once
#include <stddef.h>
#include <stdint.h>

// A file opened for writing, created or emptied. Closed by the destructor.
class OutputFile {
public:
    OutputFile() : m_handle(-1) {}
    ~OutputFile() { Close(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool Create(const char* path);
    bool IsOpen() const { return m_handle != -1; }
    // Writes every byte or returns false.
    bool Write(const void* data, size_t len);
    // Pushes the written bytes to the disk before the file is put in place.
    bool FlushToDisk();
    void Close();

private:
    intptr_t m_handle;
};

// A file opened for reading from its start. Closed by the destructor.
class InputFile {
public:
    InputFile() : m_handle(-1) {}
    ~InputFile() { Close(); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool Open(const char* path);
    bool IsOpen() const { return m_handle != -1; }
    // Reads up to size bytes: the count read, 0 at the end, -1 on error.
    long Read(void* buf, size_t size);
    // Reads until buf is full or the file ends: the count read, -1 on error.
    long ReadFull(void* buf, size_t size);
    bool SeekTo(uint64_t offset);
    // The file's size in bytes; false when it cannot be told.
    bool Size(uint64_t* size) const;
    void Close();

private:
    intptr_t m_handle;
};

// Renames from over to (replacing to), as one step.
bool RenameOver(const char* from, const char* to);
// Whether a file or folder of that name exists; asks for its attributes only, opening nothing.
bool PathExists(const char* path);
bool RemoveFile(const char* path);

// Copies src over dest through temp, a file in dest's folder that is renamed over dest once
// complete, so dest is either the old file or the whole new one, never half-written. Returns
// false (dest untouched, temp removed) when src cannot be read or anything fails.
bool ReplaceFileAtomically(const char* src, const char* dest, const char* temp);
// The same for each of count destinations in turn, src opened once for all of them: a destination
// is replaced only once every one before it is in place. Returns how many were replaced.
size_t ReplaceFilesAtomically(const char* src, const char* const* dests, size_t count, const char* temp);

// Writes len bytes as the whole of dest the same way, through temp.
bool WriteBytesAtomically(const char* dest, const char* temp, const void* data, size_t len);
