// A small set of site codes, kept sorted in one owned heap array: which sites have unseen
// snapshots, which are compared on their text, which changed since the last balloon.
#pragma once
#include <stddef.h>
#include <stdlib.h>
#include <string.h>

class CodeSet {
public:
    CodeSet() = default;
    CodeSet(const CodeSet&) = delete;
    CodeSet& operator=(const CodeSet&) = delete;
    ~CodeSet() { free(m_codes); }

    bool Contains(long code) const
    {
        size_t at = Find(code);
        return at < m_count && m_codes[at] == code;
    }
    // True when the code was not in the set before and now is (false also when memory ran out).
    bool Add(long code)
    {
        size_t at = Find(code);
        if ((at < m_count && m_codes[at] == code) || !Reserve(m_count + 1))
            return false;
        memmove(m_codes + at + 1, m_codes + at, (m_count - at) * sizeof(long));
        m_codes[at] = code;
        ++m_count;
        return true;
    }
    void Remove(long code)
    {
        size_t at = Find(code);
        if (at >= m_count || m_codes[at] != code)
            return;
        memmove(m_codes + at, m_codes + at + 1, (m_count - at - 1) * sizeof(long));
        --m_count;
    }
    void Clear() { m_count = 0; }
    size_t Size() const { return m_count; }

private:
    // The position of the first code not below the one given.
    size_t Find(long code) const
    {
        size_t low = 0;
        size_t high = m_count;
        while (low < high) {
            size_t middle = low + (high - low) / 2;
            if (m_codes[middle] < code)
                low = middle + 1;
            else
                high = middle;
        }
        return low;
    }
    bool Reserve(size_t count)
    {
        if (count <= m_capacity)
            return true;
        size_t capacity = m_capacity ? m_capacity * 2 : 16;
        void* grown = realloc(m_codes, capacity * sizeof(long));
        if (!grown)
            return false;
        m_codes = static_cast<long*>(grown);
        m_capacity = capacity;
        return true;
    }

    long* m_codes = nullptr;
    size_t m_count = 0;
    size_t m_capacity = 0;
};
