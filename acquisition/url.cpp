// Taking URLs apart for the fetch and resolving the targets of redirections (url.h).
#include "acquisition/url.h"

#include <string.h>

#include "base/ascii.h"
#include "base/cp932.h"
#include "base/text_join.h"

namespace {

const char kHttp[] = "http://";
const char kHttps[] = "https://";

// The length of a leading "http://" or "https://" in any letter case, or 0.
size_t SchemeLength(const char* text, size_t len, bool* secure)
{
    *secure = StartsWithIgnoringCase(text, len, kHttps);
    if (*secure)
        return sizeof(kHttps) - 1;
    return StartsWithIgnoringCase(text, len, kHttp) ? sizeof(kHttp) - 1 : 0;
}

// Cuts a ":port" off host into *port: false when the text after the colon is not a port.
bool TakePort(char* host, unsigned short* port)
{
    long colon = cp932::FindChar(host, strlen(host), ':');
    if (colon < 0)
        return true;
    const char* digits = host + colon + 1;
    unsigned long value = 0;
    size_t i = 0;
    for (; digits[i] >= '0' && digits[i] <= '9' && value <= 65535; ++i)
        value = value * 10 + static_cast<unsigned long>(digits[i] - '0');
    if (i == 0 || digits[i] != '\0' || value == 0 || value > 65535)
        return false;
    host[colon] = '\0';
    *port = static_cast<unsigned short>(value);
    return true;
}

// Whether text begins with a scheme name and its colon ("ftp:", "mailto:", "http:").
bool HasScheme(const char* text)
{
    if (!IsAsciiLetter(text[0]))
        return false;
    for (size_t i = 1; text[i] != '\0'; ++i) {
        char c = text[i];
        if (c == ':')
            return true;
        if (!IsAsciiLetter(c) && !IsAsciiDigit(c) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return false;
}

// Copies a Location value without its fragment into dst (kUrlBufferSize bytes). False for an
// empty value, one too long, and one holding blanks or control characters, which would break
// the request line.
bool CopyReference(const char* location, char* dst)
{
    size_t len = strlen(location);
    long hash = cp932::FindChar(location, len, '#');
    size_t keep = hash < 0 ? len : static_cast<size_t>(hash);
    if (keep == 0 || keep >= kUrlBufferSize)
        return false;
    for (size_t i = 0; i < keep; ++i) {
        unsigned char c = static_cast<unsigned char>(location[i]);
        if (c <= ' ' || c == 0x7F)
            return false;
    }
    memcpy(dst, location, keep);
    dst[keep] = '\0';
    return true;
}

// Bytes of a request path before its query or fragment.
size_t PathLength(const char* path)
{
    size_t len = strlen(path);
    long query = cp932::FindChar(path, len, '?');
    long hash = cp932::FindChar(path, len, '#');
    if (query >= 0 && static_cast<size_t>(query) < len)
        len = static_cast<size_t>(query);
    if (hash >= 0 && static_cast<size_t>(hash) < len)
        len = static_cast<size_t>(hash);
    return len;
}

bool IsSegment(const char* segment, size_t len, const char* name)
{
    return len == strlen(name) && memcmp(segment, name, len) == 0;
}

// Appends path[0, len) (beginning with "/") to text with its "." and ".." segments removed.
bool RemoveDotSegments(const char* path, size_t len, TextBuilder& text)
{
    const char* end = path + len;
    for (const char* p = path; p < end && text.Ok();) {
        long next = cp932::FindChar(p + 1, static_cast<size_t>(end - p - 1), '/');
        const char* stop = next < 0 ? end : p + 1 + next;
        size_t segmentLength = static_cast<size_t>(stop - p - 1);
        bool dots = IsSegment(p + 1, segmentLength, "..");
        if (dots) {
            long slash = cp932::FindLastChar(text.Text(), text.Length(), '/');
            text.CutTo(slash < 0 ? 0 : static_cast<size_t>(slash));
        }
        if (!dots && !IsSegment(p + 1, segmentLength, "."))
            text.Append(p, static_cast<size_t>(stop - p));
        else if (stop == end)
            text.Append("/");
        p = stop;
    }
    if (text.Length() == 0)
        text.Append("/");
    return text.Ok();
}

// The request path of a reference without scheme and host, seen from the base path: a query
// replaces base's query; any other path is merged with base's folder and loses its dot segments.
bool MergePath(const char* basePath, const char* reference, char* dst)
{
    size_t baseLength = PathLength(basePath);
    if (reference[0] == '?') {
        TextBuilder text(dst, kUrlBufferSize);
        return text.Append(basePath, baseLength).Append(reference).Ok();
    }
    char merged[2 * kUrlBufferSize];  // a folder and a reference, each shorter than a buffer
    TextBuilder folder(merged, sizeof(merged));
    if (reference[0] != '/') {
        long slash = cp932::FindLastChar(basePath, baseLength, '/');
        if (slash < 0)
            folder.Append("/");
        folder.Append(basePath, static_cast<size_t>(slash + 1));
    }
    folder.Append(reference);
    size_t pathLength = PathLength(merged);
    TextBuilder text(dst, kUrlBufferSize);
    return RemoveDotSegments(merged, pathLength, text) &&
           text.Append(merged + pathLength, folder.Length() - pathLength).Ok();
}

}  // namespace

void SplitUrl(const char* url, UrlParts* parts)
{
    char copy[kUrlBufferSize] = {};
    CopyText(copy, sizeof(copy), url);
    bool secure;
    const char* rest = copy + SchemeLength(copy, strlen(copy), &secure);
    size_t len = strlen(rest);
    long slash = cp932::FindChar(rest, len, '/');
    size_t hostLength = slash < 0 ? len : static_cast<size_t>(slash);
    memset(parts, 0, sizeof(*parts));
    memcpy(parts->host, rest, hostLength);
    CopyText(parts->path, sizeof(parts->path), hostLength < len ? rest + hostLength : "/");
}

bool ParseUrl(const char* text, unsigned short plainPort, Url* url)
{
    SchemeLength(text, strlen(text), &url->secure);
    url->port = url->secure ? static_cast<unsigned short>(kHttpsPort) : plainPort;
    SplitUrl(text, &url->parts);
    return TakePort(url->parts.host, &url->port) && url->parts.host[0] != '\0';
}

bool ResolveLocation(const Url& base, const char* location, Url* target)
{
    char reference[kUrlBufferSize];
    if (!CopyReference(location, reference))
        return false;
    bool secure;
    if (SchemeLength(reference, strlen(reference), &secure) > 0)
        return ParseUrl(reference, kHttpPort, target);
    if (HasScheme(reference))
        return false;  // a scheme the fetch does not speak
    if (reference[0] == '/' && reference[1] == '/') {
        char absolute[kUrlBufferSize];
        const char* pieces[] = {base.secure ? "https:" : "http:", reference};
        return JoinText(absolute, pieces) && ParseUrl(absolute, kHttpPort, target);
    }
    target->secure = base.secure;
    target->port = base.port;
    CopyText(target->parts.host, sizeof(target->parts.host), base.parts.host);
    return MergePath(base.parts.path, reference, target->parts.path);
}
