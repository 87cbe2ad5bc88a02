// Sites brought in are told from the listed ones by their URLs as the program fetches them: the
// scheme and host in any letter case, blanks around them, a missing scheme, and two URLs whose
// hashes meet.
#include <gtest/gtest.h>

#include <string>

#include "registry/known_urls.h"

TEST(KnownUrls, TheSameSiteWrittenOtherwiseIsKnown)
{
    KnownUrls known;
    EXPECT_TRUE(known.Add("http://Example.COM/News/Index.html"));
    EXPECT_FALSE(known.Add("HTTP://example.com/News/Index.html"));
    EXPECT_FALSE(known.Add("  example.com/News/Index.html\t"));
    EXPECT_TRUE(known.Add("http://example.com/news/index.html")) << "the path keeps its letter case";
    EXPECT_TRUE(known.Add("https://example.com/News/Index.html")) << "another scheme is another site";
    EXPECT_TRUE(known.Add("example.org/?next=http://example.com/News/Index.html"))
        << "a scheme in the query is not the URL's";
    EXPECT_FALSE(known.Add("http://example.org/?next=http://example.com/News/Index.html"));
}

TEST(KnownUrls, UrlsWhoseHashesMeetAreEachKnown)
{
    // These two hash to the same key of the table.
    const char* first = "http://127.0.0.1/zywdafss";
    const char* second = "http://127.0.0.1/ijfmlvif";
    KnownUrls known;
    EXPECT_TRUE(known.Add(first));
    EXPECT_TRUE(known.Add(second));
    EXPECT_FALSE(known.Add(second));
    EXPECT_FALSE(known.Add(first));
    for (int i = 0; i < 10000; ++i)
        ASSERT_TRUE(known.Add(("http://127.0.0.1/page" + std::to_string(i)).c_str())) << i;
    for (int i = 0; i < 10000; ++i)
        ASSERT_FALSE(known.Add(("127.0.0.1/page" + std::to_string(i)).c_str())) << i;
}
