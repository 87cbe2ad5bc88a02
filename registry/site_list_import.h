// Reading site lists from elsewhere: a plain list (a URL, or a name, a tab and a URL, a line),
// OPML (every outline with an htmlUrl or xmlUrl), a browser's bookmark file (every <A HREF>) and
// Internet shortcuts (.url). The format is told by the content, not by the file's name; the text
// may be UTF-8 (with or without its mark), UTF-16 with its mark, or code page 932. Each site comes
// out as registration takes one: its name in code page 932 (a character the code page lacks as
// "?", cut to 99 bytes; the URL itself when the file gives none) and a URL of at most 259 bytes
// that the program can fetch (http://, https:// or none). Reading is bounded: a file over 16 MiB
// or with over 10,000 entries is refused whole.
#pragma once
#include <stddef.h>

#include "base/heap_block.h"
#include "registry/site_settings.h"

enum {
    kImportMaxFileBytes = 16 * 1024 * 1024,
    kImportMaxEntries = 10000,
};

enum class SiteListFormat {
    kPlainList,
    kOpml,
    kBookmarks,
    kInternetShortcut,
};

// The settings an export of ours carries with each site, by the names of their registry keys.
enum ImportedSetting { kSettingCompare, kSettingInterval, kSettingFrom, kSettingTo, kSettingIgnore, kSettingCount };
extern const char* const kImportedSettingNames[kSettingCount];  // "compare", "interval", ...

struct ImportedSite {
    const char* name;
    const char* url;
    const char* settings[kSettingCount];  // code page 932 texts; null when the file gives none
};

// The settings an export of ours carried with the site, as a site's settings take them: a value
// that cannot be used (unknown, too long, a range text with a line end) is the default.
void ReadImportedSettings(const ImportedSite& site, CompareMethod* method, SiteWatch* watch);

class SiteListImport {
public:
    enum Outcome { kRead, kTooLarge, kTooManyEntries, kOutOfMemory };

    SiteListImport() = default;
    SiteListImport(const SiteListImport&) = delete;
    SiteListImport& operator=(const SiteListImport&) = delete;

    // Reads the sites of one file (its bytes), after those read before. An Internet shortcut
    // gives no name: fallbackName (the file's name) is used. Anything but kRead leaves the sites
    // read before as they were.
    Outcome Read(const char* data, size_t len, const char* fallbackName = "");

    size_t Count() const { return m_count; }
    ImportedSite Site(size_t i) const;
    // Entries found that could not be taken: a URL the program cannot fetch (another scheme, blanks
    // in it, a bad port, too long), an entry cut off by the end of the file.
    size_t Unreadable() const { return m_unreadable; }
    SiteListFormat Format() const { return m_format; }

private:
    struct Entry {
        size_t name;
        size_t url;
        size_t settings[kSettingCount];  // offsets into the text, kNone for none
    };
    enum : size_t { kNone = ~static_cast<size_t>(0) };
    friend class SiteListParser;

    bool Add(const char* name, size_t nameLen, const char* url, size_t urlLen, const char* const* settings,
             const size_t* settingLens, bool references);
    bool AddText(const char* text, size_t len, size_t* offset);

    HeapBlock m_text;     // the sites' texts, each zero-terminated
    size_t m_textUsed = 0;
    HeapBlock m_entries;  // Entry[m_count]
    size_t m_count = 0;
    size_t m_unreadable = 0;
    size_t m_found = 0;   // entries of the file being read, readable or not
    bool m_fromUtf8 = false;
    bool m_outOfMemory = false;
    SiteListFormat m_format = SiteListFormat::kPlainList;
};
