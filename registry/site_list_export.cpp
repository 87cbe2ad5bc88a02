#include "registry/site_list_export.h"

#include <string.h>

#include "acquisition/file_io.h"
#include "acquisition/text_encoding.h"
#include "base/path_join.h"

namespace {

const char kOpmlHead[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<opml version=\"2.0\" xmlns:sitewake=\"urn:x-sitewake:site-settings\">\r\n"
    "<head><title>Sitewake</title></head>\r\n"
    "<body>\r\n";
const char kOpmlTail[] = "</body>\r\n</opml>\r\n";

// A growing text.
class TextOut {
public:
    TextOut(HeapBlock* block) : m_block(block), m_used(0), m_ok(true) {}
    void Put(const char* text) { Put(text, strlen(text)); }
    void Put(const char* text, size_t len) { m_ok = m_ok && m_block->Append(&m_used, text, len); }
    void PutUtf8(const char* cp932Text) { m_ok = m_ok && AppendCp932AsUtf8(cp932Text, true, m_block, &m_used); }
    bool Ok() const { return m_ok; }
    size_t Used() const { return m_used; }

private:
    HeapBlock* m_block;
    size_t m_used;
    bool m_ok;
};

void PutAttribute(TextOut& out, const char* name, const char* value)
{
    out.Put(" ");
    out.Put(name);
    out.Put("=\"");
    out.PutUtf8(value);
    out.Put("\"");
}

void PutOutline(TextOut& out, const ImportedSite& site)
{
    out.Put("<outline type=\"link\"");
    PutAttribute(out, "text", site.name);
    PutAttribute(out, "htmlUrl", site.url);
    for (int k = 0; k < kSettingCount; ++k) {
        if (!site.settings[k])
            continue;
        char name[32];
        const char* pieces[] = {"sitewake:", kImportedSettingNames[k]};
        if (JoinText(name, pieces))
            PutAttribute(out, name, site.settings[k]);
    }
    out.Put("/>\r\n");
}

// A name on one line without the tab that ends it: tabs and line ends as blanks.
void PutListName(TextOut& out, const char* name)
{
    for (const char* p = name; *p; ++p) {
        char c = (*p == '\t' || *p == '\r' || *p == '\n') ? ' ' : *p;
        out.Put(&c, 1);
    }
}

}  // namespace

bool FormatSiteList(ExportFormat format, const ImportedSite* sites, size_t count, HeapBlock* block, size_t* len)
{
    TextOut out(block);
    if (format == ExportFormat::kOpml) {
        out.Put(kOpmlHead);
        for (size_t i = 0; i < count; ++i)
            PutOutline(out, sites[i]);
        out.Put(kOpmlTail);
    } else {
        for (size_t i = 0; i < count; ++i) {
            PutListName(out, sites[i].name);
            out.Put("\t");
            out.Put(sites[i].url);
            out.Put("\r\n");
        }
    }
    *len = out.Used();
    return out.Ok();
}

bool WriteSiteListFile(const char* path, const char* text, size_t len)
{
    char temp[kPathBufferSize];
    const char* pieces[] = {path, "~"};
    return JoinPath(temp, pieces) && WriteBytesAtomically(path, temp, text, len);
}
