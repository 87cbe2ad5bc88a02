// URLs as the fetch takes them apart (schemes, hosts, ports, paths) and the targets of
// redirections resolved against the URL that answered.
#include <gtest/gtest.h>

#include <string>

#include "acquisition/http_fetch.h"
#include "acquisition/url.h"

namespace {

// "secure host port path" of a parsed URL, or "refused".
std::string Parse(const std::string& text, unsigned short plainPort = kHttpPort)
{
    Url url;
    if (!ParseUrl(text.c_str(), plainPort, &url))
        return "refused";
    return std::string(url.secure ? "https " : "http ") + url.parts.host + " " + std::to_string(url.port) + " " +
           url.parts.path;
}

std::string Resolve(const std::string& base, const std::string& location)
{
    Url from;
    Url to;
    if (!ParseUrl(base.c_str(), kHttpPort, &from))
        return "bad base";
    if (!ResolveLocation(from, location.c_str(), &to))
        return "refused";
    return std::string(to.secure ? "https " : "http ") + to.parts.host + " " + std::to_string(to.port) + " " +
           to.parts.path;
}

TEST(ParseUrl, FormsWithoutPortOrHttpsSplitAsTheyAlwaysDid)
{
    const char* const old[] = {"http://example.com/a/b?c=d", "HTTP://Example.com/x", "Http://h/", "hTtP://h",
                               "h/x?u=http://y", "example.com", "127.0.0.1/x", "\x95/x/y", "h/p#frag",
                               "http://h/a b"};
    for (const char* text : old) {
        UrlParts split;
        SplitUrl(text, &split);
        Url url;
        ASSERT_TRUE(ParseUrl(text, kHttpPort, &url)) << text;
        EXPECT_FALSE(url.secure) << text;
        EXPECT_EQ(url.port, 80) << text;
        EXPECT_STREQ(url.parts.host, split.host) << text;
        EXPECT_STREQ(url.parts.path, split.path) << text;
    }
    // The request those give is the one the fetch always sent.
    Url url;
    ASSERT_TRUE(ParseUrl("http://127.0.0.1/lf", kHttpPort, &url));
    char request[kRequestBufferSize];
    ASSERT_TRUE(FormatRequest(request, sizeof(request), url.parts, url.port));
    EXPECT_STREQ(request, "GET /lf HTTP/1.0\r\nHost: 127.0.0.1:80\r\nUser-Agent: Quorant-3.31\r\n\r\n");
    // A host that was never a host (the colon of a scheme in it) is refused before any lookup.
    EXPECT_EQ(Parse("ahttp://h/p"), "refused");
    EXPECT_EQ(Parse("http:/h"), "refused");
}

TEST(ParseUrl, HttpsSchemeInAnyLetterCaseMeansTlsOnPort443)
{
    EXPECT_EQ(Parse("https://example.com/a?b=c"), "https example.com 443 /a?b=c");
    EXPECT_EQ(Parse("HTTPS://Example.com"), "https Example.com 443 /");
    EXPECT_EQ(Parse("hTtPs://h/x", 8080), "https h 443 /x");  // the plain port is for plain URLs only
    EXPECT_EQ(Parse("h/x", 8080), "http h 8080 /x");
    EXPECT_EQ(Parse("xhttps://h/"), "refused");
    // A request over TLS has the same lines, the port always named.
    Url url;
    ASSERT_TRUE(ParseUrl("https://localhost/file/a.html", kHttpPort, &url));
    char request[kRequestBufferSize];
    ASSERT_TRUE(FormatRequest(request, sizeof(request), url.parts, url.port));
    EXPECT_STREQ(request, "GET /file/a.html HTTP/1.0\r\nHost: localhost:443\r\nUser-Agent: Quorant-3.31\r\n\r\n");
}

TEST(ParseUrl, PortAfterTheHostOverridesTheSchemesPort)
{
    EXPECT_EQ(Parse("host:8080"), "http host 8080 /");
    EXPECT_EQ(Parse("127.0.0.1:8080/x"), "http 127.0.0.1 8080 /x");
    EXPECT_EQ(Parse("https://host:8443/x"), "https host 8443 /x");
    EXPECT_EQ(Parse("http://h:1/"), "http h 1 /");
    EXPECT_EQ(Parse("http://h:65535/"), "http h 65535 /");
    EXPECT_EQ(Parse("http://h:00080/"), "http h 80 /");
    EXPECT_EQ(Parse("h/a:b"), "http h 80 /a:b");  // a colon in the path is no port
    for (const char* bad : {"h:", "h:0", "h:65536", "h:99999999999999999999", "h:8o", "h:-1", "h: 80", "h:80:81",
                            "https://h:/", "https://h:http/", "user:pass@h/"})
        EXPECT_EQ(Parse(bad), "refused") << bad;
}

TEST(ParseUrl, EmptyHostsAreRefusedAndLongUrlsCutLikeBefore)
{
    for (const char* bad : {"", "http://", "https://", "/x", "http:///x", ":80/x"})
        EXPECT_EQ(Parse(bad), "refused") << bad;
    std::string huge = "https://h/" + std::string(5000, 'q');
    Url url;
    ASSERT_TRUE(ParseUrl(huge.c_str(), kHttpPort, &url));
    EXPECT_EQ(strlen(url.parts.path), 1023u - 8u - 1u);
}

TEST(ResolveLocation, AbsoluteAndNetworkPathReferences)
{
    const std::string base = "https://h:8443/a/b/c?q=1";
    EXPECT_EQ(Resolve(base, "https://other/x"), "https other 443 /x");
    EXPECT_EQ(Resolve(base, "HTTP://other:81/y#frag"), "http other 81 /y");
    EXPECT_EQ(Resolve(base, "http://other"), "http other 80 /");
    EXPECT_EQ(Resolve(base, "//other/z"), "https other 443 /z");
    EXPECT_EQ(Resolve("http://h/a", "//other:8080/z"), "http other 8080 /z");
    // An absolute URL is taken as it is, dots and all: the server asked for that one.
    EXPECT_EQ(Resolve(base, "https://other/a/../b"), "https other 443 /a/../b");
}

TEST(ResolveLocation, RelativeReferencesStayOnTheHostAndPort)
{
    const std::string base = "https://h:8443/a/b/c?q=1";
    EXPECT_EQ(Resolve(base, "/x"), "https h 8443 /x");
    EXPECT_EQ(Resolve(base, "x"), "https h 8443 /a/b/x");
    EXPECT_EQ(Resolve(base, "./x"), "https h 8443 /a/b/x");
    EXPECT_EQ(Resolve(base, "../x"), "https h 8443 /a/x");
    EXPECT_EQ(Resolve(base, "../../../../x"), "https h 8443 /x");
    EXPECT_EQ(Resolve(base, "."), "https h 8443 /a/b/");
    EXPECT_EQ(Resolve(base, ".."), "https h 8443 /a/");
    EXPECT_EQ(Resolve(base, "/a/./b/../c/"), "https h 8443 /a/c/");
    EXPECT_EQ(Resolve(base, "/a//b/../c"), "https h 8443 /a//c");
    EXPECT_EQ(Resolve(base, "x?y=../z"), "https h 8443 /a/b/x?y=../z");
    EXPECT_EQ(Resolve(base, "?r=2"), "https h 8443 /a/b/c?r=2");
    EXPECT_EQ(Resolve(base, "x#frag"), "https h 8443 /a/b/x");
    EXPECT_EQ(Resolve("https://h/a/b#frag", "?q"), "https h 443 /a/b?q");
    EXPECT_EQ(Resolve("https://h", "x"), "https h 443 /x");
    EXPECT_EQ(Resolve("https://h/dir/?a=/x/y", "z"), "https h 443 /dir/z");
    // The trail byte 0x2F of a double-byte character is no separator.
    EXPECT_EQ(Resolve("https://h/\x95/x/y", "z"), "https h 443 /\x95/x/z");
}

TEST(ResolveLocation, UnusableLocationsAreRefused)
{
    const std::string base = "https://h/a/b";
    for (const char* bad : {"", "#only-a-fragment", "ftp://h/x", "mailto:a@b", "javascript:alert(1)", "http:/x",
                            "localhost:8080/x", "https://h:0/", "https://:443/", "https://h:99999/", "/a b",
                            "/a\r\nX-Injected: y", "/a\tb", "/a\x7f"})
        EXPECT_EQ(Resolve(base, bad), "refused") << bad;
    // Results are never cut short: too long for a buffer is refused whole.
    std::string longBase = "https://h/" + std::string(1000, 'd') + "/";
    EXPECT_EQ(Resolve(longBase, std::string(50, 'x')), "refused");
    EXPECT_EQ(Resolve(base, "/" + std::string(1023, 'x')), "refused");
    EXPECT_EQ(Resolve(base, "/" + std::string(1022, 'x')), "https h 443 /" + std::string(1022, 'x'));
    EXPECT_EQ(Resolve(base, "//" + std::string(1018, 'h') + "/x"), "refused");
}

}  // namespace
