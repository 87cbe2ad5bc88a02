// Fuzzes URL splitting and Location resolution: the input is a base URL, a line feed and a
// Location value. Every result fits its buffers and is a fetchable target (a host, a port, a
// path from "/"); an absolute Location resolves to exactly what it parses to; a resolved path
// read back as "/path" resolves to itself.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "acquisition/url.h"

namespace {

void CheckFits(const Url& url)
{
    if (strnlen(url.parts.host, kUrlBufferSize) >= kUrlBufferSize ||
        strnlen(url.parts.path, kUrlBufferSize) >= kUrlBufferSize)
        abort();
    if (url.parts.host[0] == '\0' || url.parts.path[0] != '/' || url.port == 0)
        abort();
}

bool Same(const Url& a, const Url& b)
{
    return a.secure == b.secure && a.port == b.port && strcmp(a.parts.host, b.parts.host) == 0 &&
           strcmp(a.parts.path, b.parts.path) == 0;
}

bool IsPlainText(const std::string& text)
{
    for (unsigned char c : text) {
        if (c <= ' ' || c == 0x7F || c == '#')
            return false;
    }
    return !text.empty() && text.size() < kUrlBufferSize;
}

bool IsAbsolute(const std::string& text)
{
    std::string head = text.substr(0, 8);
    for (char& c : head)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return head.compare(0, 7, "http://") == 0 || head.compare(0, 8, "https://") == 0;
}

void CheckResolution(const Url& base, const std::string& location)
{
    Url target;
    bool resolved = ResolveLocation(base, location.c_str(), &target);
    if (resolved)
        CheckFits(target);
    if (IsPlainText(location) && IsAbsolute(location)) {
        Url parsed;
        bool parses = ParseUrl(location.c_str(), kHttpPort, &parsed);
        if (parses != resolved || (parses && !Same(parsed, target)))
            abort();  // an absolute URL is itself
    }
    if (resolved && location[0] != '?' && !IsAbsolute(location) && location.compare(0, 2, "//") != 0 &&
        IsPlainText(target.parts.path) && target.parts.path[1] != '/') {
        Url again;
        if (!ResolveLocation(base, target.parts.path, &again) || !Same(again, target))
            abort();  // dot segments are gone once removed
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t newline = input.find('\n');
    std::string base = input.substr(0, newline).c_str();  // up to a zero byte, as the fetch sees it
    std::string location = newline == std::string::npos ? "" : input.substr(newline + 1).c_str();
    UrlParts parts;
    SplitUrl(base.c_str(), &parts);
    if (strnlen(parts.host, kUrlBufferSize) >= kUrlBufferSize || strnlen(parts.path, kUrlBufferSize) >= kUrlBufferSize)
        abort();
    Url url;
    if (!ParseUrl(base.c_str(), kHttpPort, &url))
        return 0;
    CheckFits(url);
    CheckResolution(url, location);
    return 0;
}
