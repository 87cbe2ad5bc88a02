#include "registry/known_urls.h"

#include <stdint.h>
#include <string.h>

#include "base/ascii.h"
#include "base/text_join.h"
#include "registry/site_registry.h"

namespace {

enum { kNormalUrlSize = kSiteUrlSize + 8 };

// A URL as sites are told apart by it (see known_urls.h). A "://" counts as the scheme's only
// before the first slash: one in a query names another site.
void NormalizeUrl(const char* url, char (&out)[kNormalUrlSize])
{
    while (*url == ' ' || *url == '\t')
        ++url;
    size_t len = strlen(url);
    while (len > 0 && (url[len - 1] == ' ' || url[len - 1] == '\t'))
        --len;
    if (len >= kSiteUrlSize)
        len = kSiteUrlSize - 1;
    const char* scheme = strstr(url, "://");
    const char* slash = static_cast<const char*>(memchr(url, '/', len));
    bool hasScheme = scheme && scheme < url + len && (!slash || scheme < slash);
    TextBuilder text(out, sizeof out);
    if (!hasScheme)
        text.Append("http://");
    text.Append(url, len);
    size_t hostEnd = static_cast<size_t>(strstr(out, "://") - out) + 3;
    while (out[hostEnd] != '\0' && out[hostEnd] != '/')
        ++hostEnd;
    for (size_t i = 0; i < hostEnd; ++i)
        out[i] = LowerAscii(out[i]);
}

long HashKey(const char* text)
{
    uint32_t hash = 2166136261u;
    for (const char* p = text; *p; ++p)
        hash = (hash ^ static_cast<unsigned char>(*p)) * 16777619u;
    return static_cast<long>(hash & 0x7FFFFFFF);
}

}  // namespace

bool KnownUrls::Add(const char* url)
{
    char normal[kNormalUrlSize];
    NormalizeUrl(url, normal);
    long key = HashKey(normal);
    for (const size_t* offset; (offset = m_slots.Get(key)) != nullptr; key = (key + 1) & 0x7FFFFFFF) {
        if (strcmp(m_texts.Data() + *offset, normal) == 0)
            return false;
    }
    size_t offset = m_used;
    if (m_texts.Append(&m_used, normal, strlen(normal) + 1))
        m_slots.Put(key, offset);
    return true;
}
