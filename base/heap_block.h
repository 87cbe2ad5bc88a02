// A block of heap memory owned by one object and freed on every path.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

class HeapBlock {
public:
    HeapBlock() : m_data(nullptr), m_size(0) {}
    explicit HeapBlock(size_t size) : m_data(static_cast<char*>(malloc(size))), m_size(m_data ? size : 0) {}
    ~HeapBlock() { free(m_data); }
    HeapBlock(const HeapBlock&) = delete;
    HeapBlock& operator=(const HeapBlock&) = delete;

    char* Data() const { return m_data; }
    size_t Size() const { return m_size; }
    explicit operator bool() const { return m_data != nullptr; }

    // Makes the block size bytes long, keeping what it held up to the smaller size. False, with
    // the block as it was, when memory runs out.
    bool Resize(size_t size)
    {
        char* data = static_cast<char*>(realloc(m_data, size > 0 ? size : 1));
        if (data == nullptr)
            return false;
        m_data = data;
        m_size = size;
        return true;
    }
    // Makes the block at least size bytes long, doubling it (from 256 bytes) so that texts built
    // a piece at a time are copied few times. False, with the block as it was, when memory runs out.
    bool Reserve(size_t size)
    {
        if (size <= m_size)
            return true;
        size_t grown = m_size < 256 ? 256 : m_size;
        while (grown < size)
            grown = grown > SIZE_MAX / 2 ? size : grown * 2;
        return Resize(grown);
    }
    // Copies len bytes after the *used bytes the block holds, growing it, and counts them in
    // *used. False, with the block and *used as they were, when memory runs out.
    bool Append(size_t* used, const void* bytes, size_t len)
    {
        if (len > SIZE_MAX - *used || !Reserve(*used + len))
            return false;
        if (len > 0)
            memcpy(m_data + *used, bytes, len);
        *used += len;
        return true;
    }
    // Trades blocks with other.
    void Swap(HeapBlock& other)
    {
        char* data = m_data;
        size_t size = m_size;
        m_data = other.m_data;
        m_size = other.m_size;
        other.m_data = data;
        other.m_size = size;
    }
    void Free()
    {
        free(m_data);
        m_data = nullptr;
        m_size = 0;
    }

private:
    char* m_data;
    size_t m_size;
};
