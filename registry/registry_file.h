// The site registry file data\Morvel.ini: the one owner of its format, the section "url" with its
// keys count, name<n>, url<n>, code<n>, del<n>, compare<n> and a site's watch (interval<n>,
// from<n>, to<n>, ignore<n>), and the section "option" with the program's options
// (program_options.h), read and written through the profile functions.
#pragma once
#include "registry/program_options.h"
#include "registry/site_registry.h"

extern const char kRegistrySection[];  // "url"

// The section read whole with one profile call and indexed in memory; freed when it goes.
class LoadedRegistry {
public:
    explicit LoadedRegistry(const char* path);
    ~LoadedRegistry();
    LoadedRegistry(const LoadedRegistry&) = delete;
    LoadedRegistry& operator=(const LoadedRegistry&) = delete;

    // The indexed section, or null when the file or its section is absent.
    const SiteRegistry* Sites() const { return m_loaded ? &m_registry : nullptr; }

private:
    char* m_section;
    SiteRegistry m_registry;
    bool m_loaded;
};

// A new site's entry: its name, URL and code, and its settings (the defaults write no key).
struct NewSiteEntry {
    const char* name;
    const char* url;
    long code;
    CompareMethod method;
    SiteWatch watch;
};

enum class AppendResult {
    kAppended,
    kNoNumberLeft,  // the entry numbers would pass 2147483647: nothing was written
    kNotWritten,    // the file would not take it (read only, a full disk): nothing was kept
};

// Adds a site as a new entry numbered one above the highest number that the count or any key of
// the file names, so that a damaged count can neither hide old entries nor let the new one take
// over an old entry's keys: the count first, then the entry's keys one by one. When a key cannot
// be written, the count goes back to what it was, so no entry is kept half-written.
AppendResult AppendSiteEntry(const char* path, const NewSiteEntry& entry);
// Adds many sites at once, numbered on from the same highest number: the section is read once,
// the new entries' lines and the new count are added to it, and it is written back in one call,
// so the file is written once for all of them and either holds every new entry or none.
AppendResult AppendSiteEntries(const char* path, const NewSiteEntry* entries, size_t count);
// Marks the first entry that holds the code and is not marked deleted yet; its compare<n> and the
// keys of its watch go, so that the entry reads as a deleted one of an older file.
void MarkSiteDeleted(const char* path, long code);
// Stores how entry number entry is compared: compare<n>=text for the text only; for the whole
// page the key is removed, as the default it is.
bool WriteCompareMode(const char* path, unsigned long entry, CompareMethod method);
// The same for the first live entry that holds the code; false, changing nothing, when none does.
bool SetSiteCompareMode(const char* path, long code, CompareMethod method);
// The code when no entry of the file (live or deleted) and no site folder uses it yet, otherwise
// the next free number after it.
long FindFreeCode(const char* path, long code);

// The program's options: the section "option" read with one profile call; the defaults when
// the file or the section is absent.
ProgramOptions ReadProgramOptions(const char* path);
// Writes the options that differ from before, key by key; false at the first key the file
// would not take (the keys before it are stored).
bool WriteProgramOptions(const char* path, const ProgramOptions& before, const ProgramOptions& after);

// ---- A site's settings, rewritten ----

// What a site's entry holds that its settings change: the name and URL (whole), the comparison
// method and the watch.
struct SiteEntry {
    const char* name;
    const char* url;
    CompareMethod method;
    SiteWatch watch;
};

enum class EntryWrite {
    kWritten,
    kNoEntry,  // no live entry holds the code: nothing was written
    kFailed,   // a write failed (the file is read only, say); the other keys were still written
};

// Rewrites the keys of the first live entry holding the code whose values differ between before
// and after, and no other: name<n> and url<n> as they are; compare<n>, interval<n>, from<n>,
// to<n> and ignore<n> removed where after has the default, else written.
EntryWrite RewriteSiteEntry(const char* path, long code, const SiteEntry& before, const SiteEntry& after);
