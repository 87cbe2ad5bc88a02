// A block of heap memory owned by one object and freed on every path.
#pragma once
#include <stddef.h>
#include <stdlib.h>

class HeapBlock {
public:
    explicit HeapBlock(size_t size) : m_data(static_cast<char*>(malloc(size))), m_size(m_data ? size : 0) {}
    ~HeapBlock() { free(m_data); }
    HeapBlock(const HeapBlock&) = delete;
    HeapBlock& operator=(const HeapBlock&) = delete;

    char* Data() const { return m_data; }
    size_t Size() const { return m_size; }
    explicit operator bool() const { return m_data != nullptr; }

private:
    char* m_data;
    size_t m_size;
};
