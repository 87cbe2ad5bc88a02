#include "registry/watch_table.h"

#include <stdlib.h>
#include <string.h>

#include "base/text_join.h"

bool WatchTable::Put(long code, const SiteWatch& watch)
{
    if (watch.IsDefault()) {
        Remove(code);
        return true;
    }
    const ComparedPart& part = watch.part;
    size_t fromLen = strlen(part.from) + 1;
    size_t toLen = strlen(part.to) + 1;
    size_t ignoreLen = strlen(part.ignore) + 1;
    auto* texts = static_cast<char*>(malloc(fromLen + toLen + ignoreLen));
    if (!texts)
        return false;
    memcpy(texts, part.from, fromLen);
    memcpy(texts + fromLen, part.to, toLen);
    memcpy(texts + fromLen + toLen, part.ignore, ignoreLen);
    const Entry* before = m_entries.Get(code);
    char* replaced = before ? before->texts : nullptr;
    if (!m_entries.Put(code, Entry{watch.interval, texts}) && !before) {
        free(texts);  // no room for the code
        return false;
    }
    free(replaced);
    return true;
}

void WatchTable::Remove(long code)
{
    if (const Entry* entry = m_entries.Get(code)) {
        free(entry->texts);
        m_entries.Remove(code);
    }
}

void WatchTable::Clear()
{
    for (size_t i = m_entries.Size(); i-- > 0;)  // from the back: nothing moves
        Remove(m_entries.CodeAt(i));
}

void WatchTable::Get(long code, SiteWatch* watch) const
{
    *watch = SiteWatch();
    const Entry* entry = m_entries.Get(code);
    if (!entry)
        return;
    watch->interval = entry->interval;
    const char* from = entry->texts;
    const char* to = from + strlen(from) + 1;
    const char* ignore = to + strlen(to) + 1;
    CopyText(watch->part.from, sizeof watch->part.from, from);
    CopyText(watch->part.to, sizeof watch->part.to, to);
    CopyText(watch->part.ignore, sizeof watch->part.ignore, ignore);
}

unsigned long WatchTable::Interval(long code) const
{
    const Entry* entry = m_entries.Get(code);
    return entry ? entry->interval : 0;
}
