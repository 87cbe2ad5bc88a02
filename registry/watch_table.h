// The watch of every listed site, kept in memory by code for the window and its worker. Only a
// site whose watch is not the default takes room: its interval and one heap block holding its
// texts as long as they are, so a thousand sites with short texts cost a few tens of kilobytes.
#pragma once
#include <stddef.h>

#include "base/code_map.h"
#include "registry/site_settings.h"

class WatchTable {
public:
    WatchTable() = default;
    WatchTable(const WatchTable&) = delete;
    WatchTable& operator=(const WatchTable&) = delete;
    ~WatchTable() { Clear(); }

    // Sets the code's watch; the default takes the code out. False when memory ran out: the code
    // keeps the watch it had.
    bool Put(long code, const SiteWatch& watch);
    void Remove(long code);
    void Clear();
    bool Contains(long code) const { return m_entries.Contains(code); }
    // The code's watch; the default for a code that has none.
    void Get(long code, SiteWatch* watch) const;
    unsigned long Interval(long code) const;
    size_t Size() const { return m_entries.Size(); }

private:
    struct Entry {
        unsigned long interval;
        char* texts;  // from, to and the ignored texts one after another, each ended by a zero byte
    };

    CodeMap<Entry> m_entries;
};
