// Fuzzes the reading of site lists (every format, every encoding): whatever the bytes, each site
// read has a one-line name of at most 99 bytes and a URL of at most 259 bytes without blanks, and
// the sites written out as OPML read back as the same sites, the same text once written again (a
// character code page 932 has twice, such as the NEC-selected IBM extensions, may come back in its
// other form).
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "registry/site_list_export.h"
#include "registry/site_list_import.h"

namespace {

void CheckSite(const ImportedSite& site)
{
    size_t nameLen = strlen(site.name);
    size_t urlLen = strlen(site.url);
    if (nameLen == 0 || nameLen > 99 || urlLen == 0 || urlLen > 259)
        abort();
    for (size_t i = 0; i < nameLen; ++i) {
        if (static_cast<unsigned char>(site.name[i]) < 0x20)
            abort();
    }
    for (size_t i = 0; i < urlLen; ++i) {
        if (static_cast<unsigned char>(site.url[i]) <= 0x20)
            abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SiteListImport import;
    if (import.Read(reinterpret_cast<const char*>(data), size, "shortcut") != SiteListImport::kRead)
        return 0;
    size_t count = import.Count();
    ImportedSite* sites = static_cast<ImportedSite*>(malloc((count + 1) * sizeof(ImportedSite)));
    for (size_t i = 0; i < count; ++i) {
        sites[i] = import.Site(i);
        CheckSite(sites[i]);
    }
    HeapBlock out;
    size_t len = 0;
    if (!FormatSiteList(ExportFormat::kOpml, sites, count, &out, &len))
        abort();
    SiteListImport again;
    if (again.Read(out.Data(), len) != SiteListImport::kRead || again.Count() != count || again.Unreadable() != 0)
        abort();
    for (size_t i = 0; i < count; ++i) {
        sites[i] = again.Site(i);
        CheckSite(sites[i]);
    }
    HeapBlock second;
    size_t secondLen = 0;
    if (!FormatSiteList(ExportFormat::kOpml, sites, count, &second, &secondLen) || secondLen != len ||
        memcmp(second.Data(), out.Data(), len) != 0)
        abort();
    free(sites);
    return 0;
}
