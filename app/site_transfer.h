// What importing and exporting sites hand around in the window: the files to read, and the
// listed sites as the export writes them.
#pragma once
#include <stddef.h>
#include <string.h>

#include "base/decimal.h"
#include "base/heap_block.h"
#include "base/path_join.h"
#include "registry/site_list_import.h"
#include "registry/site_registry.h"
#include "registry/site_settings.h"

enum { kMaxImportFiles = 1000 };  // files taken from one choice or drop

// The paths of the files to import, each whole (a longer one is not taken).
class FileList {
public:
    FileList() : m_paths(kMaxImportFiles * sizeof(Slot)) {}
    void Add(const char* path)
    {
        if (!m_paths || m_count == kMaxImportFiles)
            return;
        Slot& slot = reinterpret_cast<Slot*>(m_paths.Data())[m_count];
        if (CopyText(slot.text, sizeof slot.text, path) == strlen(path))
            ++m_count;
    }
    size_t Count() const { return m_count; }
    const char* Path(size_t i) const { return reinterpret_cast<const Slot*>(m_paths.Data())[i].text; }

private:
    struct Slot {
        char text[kPathBufferSize];
    };
    HeapBlock m_paths;
    size_t m_count = 0;
};

// The listed sites with their settings as texts, as the export writes them.
class ExportedSites {
public:
    ExportedSites() = default;
    ExportedSites(const ExportedSites&) = delete;
    ExportedSites& operator=(const ExportedSites&) = delete;

    bool Reserve(size_t count)
    {
        m_count = 0;
        return m_rows.Resize(count * sizeof(Row) + 1) && m_sites.Resize(count * sizeof(ImportedSite) + 1);
    }
    // Adds a site; its texts are copied.
    void Add(const char* name, const char* url, CompareMethod method, const SiteWatch& watch)
    {
        Row& row = reinterpret_cast<Row*>(m_rows.Data())[m_count];
        ImportedSite& site = reinterpret_cast<ImportedSite*>(m_sites.Data())[m_count];
        CopyText(row.name, sizeof row.name, name);
        CopyText(row.url, sizeof row.url, url);
        row.watch = watch;
        CopyText(row.interval, sizeof row.interval, DecimalText(static_cast<long>(watch.interval)));
        site.name = row.name;
        site.url = row.url;
        site.settings[kSettingCompare] = method == CompareMethod::kTextOnly ? kCompareText : nullptr;
        site.settings[kSettingInterval] = watch.interval ? row.interval : nullptr;
        site.settings[kSettingFrom] = row.watch.part.from[0] ? row.watch.part.from : nullptr;
        site.settings[kSettingTo] = row.watch.part.to[0] ? row.watch.part.to : nullptr;
        site.settings[kSettingIgnore] = row.watch.part.ignore[0] ? row.watch.part.ignore : nullptr;
        ++m_count;
    }
    const ImportedSite* Sites() const { return reinterpret_cast<const ImportedSite*>(m_sites.Data()); }
    size_t Count() const { return m_count; }

private:
    struct Row {
        char name[kSiteNameSize];
        char url[kSiteUrlSize];
        char interval[kDecimalTextSize];
        SiteWatch watch;
    };
    HeapBlock m_rows;
    HeapBlock m_sites;
    size_t m_count = 0;
};
