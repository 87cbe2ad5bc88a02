#include "registry/registry_file.h"

#include <windows.h>
#include <string.h>

#include "base/ascii.h"
#include "base/decimal.h"
#include "base/heap_block.h"
#include "base/text_join.h"
#include "registry/data_paths.h"
#include "registry/profile.h"
#include "registry/setting_text.h"

const char kRegistrySection[] = "url";

namespace {

const unsigned long kHighestEntryNumber = 2147483647;

bool FolderExists(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The first entry that holds the code and is not marked deleted, or 0.
unsigned long LiveEntryOf(const char* path, long code)
{
    LoadedRegistry registry(path);
    return registry.Sites() ? registry.Sites()->FindLiveEntry(code) : 0;
}

// How many lines give the key: the profile functions remove one line at a time.
size_t CountKeyLines(const char* path, const char* kind, unsigned long number)
{
    LoadedRegistry registry(path);
    return registry.Sites() ? registry.Sites()->CountKey(kind, number) : 0;
}

// Writes one numbered key of an entry, such as name3; a null value removes the key, every line
// of it where a file edited by hand repeats it (the reader would take the next one). False when a
// write failed.
bool WriteEntryKey(const char* path, const char* kind, unsigned long number, const char* value)
{
    char key[32];
    DecimalText digits(static_cast<long>(number));
    const char* pieces[] = {kind, digits};
    if (!JoinText(key, pieces))
        return false;
    size_t lines = value ? 1 : CountKeyLines(path, kind, number);
    bool written = true;
    for (size_t i = 0; i < lines; ++i)
        written = ProfileWriteString(path, kRegistrySection, key, value) && written;
    return written;
}

// A text of a site's watch, written as setting_text.h says; an empty one removes the key.
bool WriteTextKey(const char* path, const char* kind, unsigned long entry, const char* text)
{
    if (text[0] == '\0')
        return WriteEntryKey(path, kind, entry, nullptr);
    char value[EncodedSize(kIgnoreTextsSize)];
    return EncodeSettingText(text, value, sizeof value) && WriteEntryKey(path, kind, entry, value);
}

bool WriteIntervalKey(const char* path, unsigned long entry, unsigned long minutes)
{
    return WriteEntryKey(path, kIntervalKey, entry, minutes ? DecimalText(static_cast<long>(minutes)).c_str() : nullptr);
}

// The keys of a site's watch that differ between before and after, each written or removed.
bool RewriteWatch(const char* path, unsigned long entry, const SiteWatch& before, const SiteWatch& after)
{
    bool written = true;
    if (before.interval != after.interval)
        written = WriteIntervalKey(path, entry, after.interval) && written;
    const char* kinds[] = {kFromKey, kToKey, kIgnoreKey};
    const char* was[] = {before.part.from, before.part.to, before.part.ignore};
    const char* now[] = {after.part.from, after.part.to, after.part.ignore};
    for (size_t i = 0; i < 3; ++i) {
        if (strcmp(was[i], now[i]) != 0)
            written = WriteTextKey(path, kinds[i], entry, now[i]) && written;
    }
    return written;
}

// The highest entry number the count (when above 0) or any key of the file names.
unsigned long HighestEntryNumber(const char* path)
{
    unsigned long highest = 0;
    {
        LoadedRegistry registry(path);
        if (registry.Sites())
            highest = registry.Sites()->HighestNumber();
    }
    long count = ProfileGetInt(path, kRegistrySection, kCountKey, 0);
    if (count > 0 && static_cast<unsigned long>(count) > highest)
        highest = static_cast<unsigned long>(count);
    return highest;
}

bool IsCountLine(const char* line)
{
    while (*line == ' ' || *line == '\t')
        ++line;
    size_t len = 0;
    while (line[len] != '\0' && line[len] != '=')
        ++len;
    while (len > 0 && (line[len - 1] == ' ' || line[len - 1] == '\t'))
        --len;
    return len == 5 && StartsWithIgnoringCase(line, len, kCountKey);
}

// A section's text as the profile functions read and write it whole: "key=value" lines, each
// ended by a zero byte, and one more zero byte at the end. The count goes first; the lines that
// were there follow as they were (but their count lines), then the new entries' lines.
class SectionText {
public:
    SectionText() = default;
    SectionText(const SectionText&) = delete;
    SectionText& operator=(const SectionText&) = delete;

    bool ReadExisting(const char* path, unsigned long count)
    {
        AddLine(kCountKey, 0, DecimalText(static_cast<long>(count)));
        unsigned long length = 0;
        char* section = ProfileReadSection(path, kRegistrySection, &length);
        for (const char* line = section; m_ok && line && line < section + length && *line; line += strlen(line) + 1) {
            if (!IsCountLine(line))
                Append(line, strlen(line) + 1);
        }
        FreeSection(section);
        return m_ok;
    }
    void AddEntry(unsigned long number, const NewSiteEntry& entry)
    {
        AddLine(kNameKey, number, entry.name);
        AddLine(kUrlKey, number, entry.url);
        AddLine(kCodeKey, number, DecimalText(entry.code));
        if (entry.method == CompareMethod::kTextOnly)
            AddLine(kCompareKey, number, kCompareText);
        if (entry.watch.interval != 0)
            AddLine(kIntervalKey, number, DecimalText(static_cast<long>(entry.watch.interval)));
        const char* kinds[] = {kFromKey, kToKey, kIgnoreKey};
        const char* texts[] = {entry.watch.part.from, entry.watch.part.to, entry.watch.part.ignore};
        for (size_t i = 0; i < 3; ++i) {
            char value[EncodedSize(kIgnoreTextsSize)];
            if (texts[i][0] == '\0')
                continue;
            if (!EncodeSettingText(texts[i], value, sizeof value))
                m_ok = false;
            AddLine(kinds[i], number, value);
        }
    }
    bool Ok() const { return m_ok; }
    // The text, ended by its extra zero byte.
    const char* Finish()
    {
        Append("", 1);
        return m_ok ? m_text.Data() : nullptr;
    }

private:
    // key and, for an entry's key, its number (0: none), "=", the value.
    void AddLine(const char* key, unsigned long number, const char* value)
    {
        char name[32];
        DecimalText digits(static_cast<long>(number));
        const char* pieces[] = {key, number ? digits.c_str() : ""};
        if (!JoinText(name, pieces)) {
            m_ok = false;
            return;
        }
        Append(name, strlen(name));
        Append("=", 1);
        Append(value, strlen(value) + 1);
    }
    void Append(const char* bytes, size_t len) { m_ok = m_ok && m_text.Append(&m_used, bytes, len); }

    HeapBlock m_text;
    size_t m_used = 0;
    bool m_ok = true;
};

}  // namespace

LoadedRegistry::LoadedRegistry(const char* path) : m_section(nullptr), m_loaded(false)
{
    unsigned long length = 0;
    m_section = ProfileReadSection(path, kRegistrySection, &length);
    m_loaded = m_section && m_registry.Parse(m_section, length);
}

LoadedRegistry::~LoadedRegistry() { FreeSection(m_section); }

AppendResult AppendSiteEntry(const char* path, const NewSiteEntry& entry)
{
    unsigned long highest = HighestEntryNumber(path);
    if (highest >= kHighestEntryNumber)
        return AppendResult::kNoNumberLeft;
    unsigned long n = highest + 1;
    char oldCount[kDecimalTextSize + 2];
    ProfileGetString(path, kRegistrySection, kCountKey, "", oldCount, sizeof oldCount);
    if (!ProfileWriteString(path, kRegistrySection, kCountKey, DecimalText(static_cast<long>(n))))
        return AppendResult::kNotWritten;
    bool written = WriteEntryKey(path, kNameKey, n, entry.name) && WriteEntryKey(path, kUrlKey, n, entry.url) &&
                   WriteEntryKey(path, kCodeKey, n, DecimalText(entry.code)) &&
                   (entry.method == CompareMethod::kWholePage || WriteCompareMode(path, n, entry.method)) &&
                   RewriteWatch(path, n, SiteWatch(), entry.watch);
    if (written)
        return AppendResult::kAppended;
    ProfileWriteString(path, kRegistrySection, kCountKey, oldCount[0] ? oldCount : nullptr);
    return AppendResult::kNotWritten;
}

AppendResult AppendSiteEntries(const char* path, const NewSiteEntry* entries, size_t count)
{
    unsigned long highest = HighestEntryNumber(path);
    if (count == 0)
        return AppendResult::kAppended;
    if (highest >= kHighestEntryNumber || count > kHighestEntryNumber - highest)
        return AppendResult::kNoNumberLeft;
    SectionText section;
    if (!section.ReadExisting(path, highest + count))
        return AppendResult::kNotWritten;
    for (size_t i = 0; i < count; ++i)
        section.AddEntry(highest + 1 + i, entries[i]);
    const char* text = section.Finish();
    return text && ProfileWriteSection(path, kRegistrySection, text) ? AppendResult::kAppended
                                                                     : AppendResult::kNotWritten;
}

void MarkSiteDeleted(const char* path, long code)
{
    unsigned long entry = LiveEntryOf(path, code);
    if (entry == 0)
        return;
    WriteEntryKey(path, kDelKey, entry, "1");
    WriteCompareMode(path, entry, CompareMethod::kWholePage);
    const char* watchKeys[] = {kIntervalKey, kFromKey, kToKey, kIgnoreKey};
    for (const char* kind : watchKeys)
        WriteEntryKey(path, kind, entry, nullptr);
}

bool WriteCompareMode(const char* path, unsigned long entry, CompareMethod method)
{
    return WriteEntryKey(path, kCompareKey, entry, method == CompareMethod::kTextOnly ? kCompareText : nullptr);
}

bool SetSiteCompareMode(const char* path, long code, CompareMethod method)
{
    unsigned long entry = LiveEntryOf(path, code);
    if (entry != 0)
        WriteCompareMode(path, entry, method);
    return entry != 0;
}

long FindFreeCode(const char* path, long code)
{
    LoadedRegistry registry(path);
    for (; code < 0x7FFFFFFF; ++code) {
        char folder[kPathBufferSize];
        bool folderTaken = MakeSitePrefix(folder, code) && FolderExists(folder);
        if (!folderTaken && !(registry.Sites() && registry.Sites()->HasCode(code)))
            break;
    }
    return code;
}

ProgramOptions ReadProgramOptions(const char* path)
{
    unsigned long length = 0;
    char* section = ProfileReadSection(path, kOptionSection, &length);
    ProgramOptions options = section ? ParseProgramOptions(section, length) : ProgramOptions();
    FreeSection(section);
    return options;
}

bool WriteProgramOptions(const char* path, const ProgramOptions& before, const ProgramOptions& after)
{
    struct Change {
        bool changed;
        const char* key;
        const char* value;
    };
    const Change changes[] = {
        {after.startChecking != before.startChecking, kStartCheckingKey, OptionFlagText(after.startChecking)},
        {after.startHidden != before.startHidden, kStartHiddenKey, OptionFlagText(after.startHidden)},
        {after.passMinutes != before.passMinutes, kPassIntervalKey, PassIntervalText(after.passMinutes)},
    };
    for (const Change& change : changes) {
        if (change.changed && !ProfileWriteString(path, kOptionSection, change.key, change.value))
            return false;
    }
    return true;
}

// ---- A site's settings, rewritten ----

EntryWrite RewriteSiteEntry(const char* path, long code, const SiteEntry& before, const SiteEntry& after)
{
    unsigned long entry = LiveEntryOf(path, code);
    if (entry == 0)
        return EntryWrite::kNoEntry;
    bool written = true;
    if (strcmp(before.name, after.name) != 0)
        written = WriteEntryKey(path, kNameKey, entry, after.name) && written;
    if (strcmp(before.url, after.url) != 0)
        written = WriteEntryKey(path, kUrlKey, entry, after.url) && written;
    if (before.method != after.method)
        written = WriteCompareMode(path, entry, after.method) && written;
    written = RewriteWatch(path, entry, before.watch, after.watch) && written;
    return written ? EntryWrite::kWritten : EntryWrite::kFailed;
}
