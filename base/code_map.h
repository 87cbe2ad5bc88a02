// Small tables keyed by site code, kept sorted in one owned heap array: a value for each code
// (CodeMap), or only whether a code is in (CodeSet: which sites have unseen snapshots, which are
// compared on their text, which changed since the last balloon). Values are plain data, moved
// with memmove.
#pragma once
#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#include <type_traits>

template <class Value>
class CodeMap {
    static_assert(std::is_trivially_copyable<Value>::value, "values are moved as bytes");

public:
    CodeMap() = default;
    CodeMap(const CodeMap&) = delete;
    CodeMap& operator=(const CodeMap&) = delete;
    ~CodeMap() { free(m_entries); }

    bool Contains(long code) const { return Get(code) != nullptr; }
    // The code's value, or null when the code is not in.
    const Value* Get(long code) const
    {
        size_t at = Find(code);
        return (at < m_count && m_entries[at].code == code) ? &m_entries[at].value : nullptr;
    }
    // Sets the code's value. True when the code was not in before and now is; false when it was
    // in (its value is replaced) or memory ran out.
    bool Put(long code, const Value& value)
    {
        size_t at = Find(code);
        if (at < m_count && m_entries[at].code == code) {
            m_entries[at].value = value;
            return false;
        }
        if (!Reserve(m_count + 1))
            return false;
        memmove(m_entries + at + 1, m_entries + at, (m_count - at) * sizeof(Entry));
        m_entries[at].code = code;
        m_entries[at].value = value;
        ++m_count;
        return true;
    }
    void Remove(long code)
    {
        size_t at = Find(code);
        if (at >= m_count || m_entries[at].code != code)
            return;
        memmove(m_entries + at, m_entries + at + 1, (m_count - at - 1) * sizeof(Entry));
        --m_count;
    }
    void Clear() { m_count = 0; }
    size_t Size() const { return m_count; }
    // The code at a position of the table (below Size()), in ascending order of codes.
    long CodeAt(size_t index) const { return m_entries[index].code; }

private:
    struct Entry {
        long code;
        Value value;
    };

    // The position of the first code not below the one given.
    size_t Find(long code) const
    {
        size_t low = 0;
        size_t high = m_count;
        while (low < high) {
            size_t middle = low + (high - low) / 2;
            if (m_entries[middle].code < code)
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
        void* grown = realloc(m_entries, capacity * sizeof(Entry));
        if (!grown)
            return false;
        m_entries = static_cast<Entry*>(grown);
        m_capacity = capacity;
        return true;
    }

    Entry* m_entries = nullptr;
    size_t m_count = 0;
    size_t m_capacity = 0;
};

class CodeSet {
public:
    bool Contains(long code) const { return m_codes.Contains(code); }
    // True when the code was not in the set before and now is (false also when memory ran out).
    bool Add(long code) { return m_codes.Put(code, Nothing()); }
    void Remove(long code) { m_codes.Remove(code); }
    void Clear() { m_codes.Clear(); }
    size_t Size() const { return m_codes.Size(); }

private:
    struct Nothing {};
    CodeMap<Nothing> m_codes;
};
