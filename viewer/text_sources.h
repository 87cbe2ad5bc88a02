// The texts the line diff reads: bytes in memory or a file, read at any offset.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "acquisition/file_io.h"
#include "base/heap_block.h"

enum { kSourceReadBlock = 64 * 1024 };  // bytes read at a time when a text is streamed through

// Random access to a text: a file, or bytes in memory.
class TextSource {
public:
    // Reads up to size bytes from offset: the count read (less only at the end), -1 on error.
    virtual long ReadAt(uint64_t offset, char* buf, size_t size) = 0;

protected:
    TextSource() = default;
    ~TextSource() = default;
    TextSource(const TextSource&) = delete;
    TextSource& operator=(const TextSource&) = delete;
};

// A text in memory.
class MemorySource : public TextSource {
public:
    MemorySource(const char* data, size_t len) : m_data(data), m_len(len) {}
    // Makes the source the bytes data[0, len) from now on.
    void Retarget(const char* data, size_t len)
    {
        m_data = data;
        m_len = len;
    }
    long ReadAt(uint64_t offset, char* buf, size_t size) override
    {
        if (offset >= m_len)
            return 0;
        size_t n = m_len - static_cast<size_t>(offset);
        n = n < size ? n : size;
        memcpy(buf, m_data + offset, n);
        return static_cast<long>(n);
    }

private:
    const char* m_data;
    size_t m_len;
};

// A file read at any offset.
class FileSource : public TextSource {
public:
    explicit FileSource(InputFile& file) : m_file(file) {}
    long ReadAt(uint64_t offset, char* buf, size_t size) override
    {
        return m_file.SeekTo(offset) ? m_file.ReadFull(buf, size) : -1;
    }

private:
    InputFile& m_file;
};

// A block-sized window over a text read mostly forward: the bytes asked for are served from the
// window when they lie in it, else a block is read from where they start.
class SourceWindow {
public:
    SourceWindow() : m_block(kSourceReadBlock), m_source(nullptr), m_start(0), m_length(0) {}
    SourceWindow(const SourceWindow&) = delete;
    SourceWindow& operator=(const SourceWindow&) = delete;

    bool Ready() const { return static_cast<bool>(m_block); }
    void Attach(TextSource* source)
    {
        m_source = source;
        m_start = 0;
        m_length = 0;
    }
    // The bytes from offset on, as many as the window holds but at most limit: *count gets their
    // number (0 only at the end of the text). Null on a read error.
    const char* At(uint64_t offset, uint64_t limit, size_t* count);

private:
    HeapBlock m_block;
    TextSource* m_source;
    uint64_t m_start;
    size_t m_length;
};

// The text size: offset known to lie within it, then read to the end a block at a time through
// buf (kSourceReadBlock bytes). False on a read error.
bool MeasureSource(TextSource& source, uint64_t offset, char* buf, uint64_t* size);
// The size of the file at path, as the file system tells it. False when it cannot be opened.
bool MeasureFile(const char* path, uint64_t* size);
