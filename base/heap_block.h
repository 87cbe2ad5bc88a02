// A block of heap memory owned by one object and freed on every path.
#pragma once
#include <stddef.h>
#include <stdlib.h>

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
