// The site registry file's one section "url", read whole and looked up in memory with the same
// results as reading each key through the profile functions: keys match without regard to the
// case of ASCII letters, the first of repeated keys wins, a quoted value loses its quotes,
// numbers are read from the start of the value (an empty value gives the default). A site's
// comparison is the whole page unless its key compare<n> holds kCompareText. Its watch
// (interval<n>, from<n>, to<n>, ignore<n>) is the default for a missing key and for a value that
// cannot be read: junk, an interval not offered, a text too long or holding a line end.
#pragma once
#include <stddef.h>

#include "registry/site_settings.h"

enum {
    kSiteNameSize = 100,  // a listed name holds at most 99 bytes
    kSiteUrlSize = 260,   // a listed URL holds at most 259 bytes
};

// The numbered keys of an entry: these prefixes and the entry number, such as name3.
extern const char kNameKey[];   // "name"
extern const char kUrlKey[];    // "url"
extern const char kCodeKey[];   // "code"
extern const char kDelKey[];    // "del"
extern const char kCompareKey[];  // "compare": how the site's pages are compared
extern const char kCompareText[];  // "text": compare<n>'s value for the text only
extern const char kCountKey[];  // "count": the number of entries ever registered
// A site's watch: interval<n> in minutes (absent: every pass), the range's texts from<n> and
// to<n>, and the ignored texts ignore<n> (LF between them), all written as setting_text.h says.
extern const char kIntervalKey[];  // "interval"
extern const char kFromKey[];      // "from"
extern const char kToKey[];        // "to"
extern const char kIgnoreKey[];    // "ignore"

struct ListedSite {
    char name[kSiteNameSize];
    char url[kSiteUrlSize];
    long code;
    CompareMethod method;
    SiteWatch watch;
};

// One numbered key of the section: "name", "url", "code", "del", "compare" or a key of the watch,
// and an entry number.
struct RegistryKey {
    unsigned long number;  // the entry number, 1 to 2147483647
    int kind;              // name, url, code, del, compare, interval, from, to or ignore
    size_t order;          // position in the file, so that the first of repeated keys wins
    const char* value;
};

// Reads a number the way the profile reader does: an empty value gives def.
long ProfileValueToInt(const char* value, long def);

class SiteRegistry {
public:
    SiteRegistry() = default;
    SiteRegistry(const SiteRegistry&) = delete;
    SiteRegistry& operator=(const SiteRegistry&) = delete;
    ~SiteRegistry();

    // Indexes a section given as "key=value" lines, each ended by a zero byte; the text is trimmed
    // in place and must stay alive while the registry is used.
    bool Parse(char* section, size_t length);

    // Calls visit for every listed entry in entry order: numbers 1 to "count" whose "del" is not 1.
    // Numbers past the highest one that has any key are not visited, so a damaged count cannot
    // make the walk endless; at most kMaxBlankEntries numbers without keys give (empty) entries.
    void ForEachListed(void (*visit)(void* context, const ListedSite& site), void* context) const;

    // The first entry number, from 1 to "count", that holds the code and is not marked deleted;
    // 0 when there is none.
    unsigned long FindLiveEntry(long code) const;
    // Whether any entry of the file, live or deleted, holds the code.
    bool HasCode(long code) const;
    // Calls visit with the code of every entry, live or deleted (a code as often as entries hold it).
    void ForEachCode(void (*visit)(void* context, long code), void* context) const;
    // How many lines of the section give the key of that prefix and entry number (name, url,
    // code, del or compare): more than one in a file edited by hand.
    size_t CountKey(const char* prefix, unsigned long number) const;
    // The highest entry number that the count (when above 0) or any numbered key names; 0 for
    // none.
    unsigned long HighestNumber() const;

    enum { kMaxBlankEntries = 10000 };

private:
    void AddLine(char* line);
    long ReadCount() const { return ProfileValueToInt(m_countValue, 0); }
    // The end of the run of keys of the entry whose first key is at k.
    size_t EndOfEntry(size_t k) const;
    // Fills site from the keys of one entry, keys[first, last); returns whether del is 1.
    bool FillSite(size_t first, size_t last, ListedSite& site) const;

    RegistryKey* m_keys = nullptr;
    size_t m_count = 0;
    const char* m_countValue = nullptr;
};

// Splits a "key=value" line of a section in place into its key and value, each without blanks
// at either end; false, with nothing split, for a line without "=".
bool SplitProfileLine(char* line, char** key, char** value);

// Copies a value the way the profile reader does: matching outer quotes dropped, cut to size - 1.
void CopyProfileValue(char* dst, size_t size, const char* value);
