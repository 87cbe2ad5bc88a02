// The URLs the fetch takes: the scheme ("http://", "https://" or none), the host, an optional
// ":port" and the request path; and the target of a redirection resolved against the URL that
// answered with it. Pure text work on fixed buffers: no window, no network.
#pragma once
#include <stddef.h>

enum {
    kUrlBufferSize = 1024,  // URL copy, host and request path buffers
    kHttpPort = 80,
    kHttpsPort = 443,
};

// The host and request path of a URL.
struct UrlParts {
    char host[kUrlBufferSize];
    char path[kUrlBufferSize];
};

// A URL taken apart for fetching: secure for "https://", the port to connect to and name in the
// request, the host without its port, and the request path.
struct Url {
    bool secure;
    unsigned short port;
    UrlParts parts;
};

// The text split of a URL: a leading "http://" or "https://" (any letter case) is stripped, the
// host is everything before the first "/" (a colon and port stay in it), the path the rest from
// that "/" on, or "/" when there is none. A URL longer than kUrlBufferSize - 1 bytes is cut to
// that length first.
void SplitUrl(const char* url, UrlParts* parts);

// Splits url for fetching. Without "https://" the URL is fetched over plain HTTP on plainPort;
// with it over TLS on 443. A ":port" after the host (1 to 65535, digits only) overrides either.
// False for an empty host or any other port text (empty, 0, too large, not digits).
bool ParseUrl(const char* text, unsigned short plainPort, Url* url);

// The URL a redirection's Location value points to, seen from base: an absolute "http://" or
// "https://" URL as it is (plain HTTP on port 80 unless it names a port), "//host/path" with
// base's scheme, "/path", "?query" and relative paths ("x", "./x", "../x") within base's host
// and port, with "." and ".." segments removed. A fragment ("#...") is dropped. False for an
// empty value, another scheme, control characters or blanks, a bad host or port, and a result
// longer than its buffers.
bool ResolveLocation(const Url& base, const char* location, Url* target);
