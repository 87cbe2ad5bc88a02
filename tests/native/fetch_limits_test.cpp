// Fetches that must not hold the worker or pass for a page: servers that never end their
// response (a drip, an endless body, an endless head), bodies cut short of their announced
// length, server errors, and a fetched copy that cannot be written (a full disk), against the
// scripted HTTP server on 127.0.0.1:80. Needs to bind port 80 (root in a private network
// namespace); skipped otherwise.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "acquisition/http_fetch.h"
#include "scripted_suite.h"
#include "support.h"

namespace {

class FetchLimitsTest : public ScriptedSuite {
protected:
    // Fetches the target and notes how long it took.
    int Fetch(const std::string& target, const FetchSettings& settings = FetchSettings())
    {
        auto start = std::chrono::steady_clock::now();
        std::string url = "http://127.0.0.1" + target;
        int result = HttpGetToFile(url.c_str(), Out().c_str(), nullptr, settings);
        m_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return result;
    }
    std::string Out() const { return m_dir.File("NEW.TEMP"); }
    size_t StoredSize() const { return ReadWholeFile(Out()).size(); }

    TempDir m_dir;
    double m_seconds = 0;
};

TEST_F(FetchLimitsTest, EndlessResponsesFailWithinTheWholeFetchLimits)
{
    // A byte every 200 ms is progress for every single wait, never the end of the page.
    EXPECT_EQ(Fetch("/drip-forever?ms=200", ShortLimits()), 0);
    EXPECT_GE(m_seconds, 2.5);
    EXPECT_LT(m_seconds, 8.0);

    EXPECT_EQ(Fetch("/endless-body", ShortLimits()), 0);
    EXPECT_LT(m_seconds, 8.0);
    EXPECT_LE(StoredSize(), 2u * 1024 * 1024 + 2u * BodyWriter::kStoreBufferSize);  // no full disk

    EXPECT_EQ(Fetch("/endless-head", ShortLimits()), 0);
    EXPECT_LT(m_seconds, 8.0);
    EXPECT_EQ(StoredSize(), 0u);

    EXPECT_EQ(Fetch("/lf", ShortLimits()), 1);  // and the next site is fetched as ever

    // The body limit itself: a page of exactly the limit is a page, one byte more is not.
    WriteWholeFile(Root().File("limit.htm"), std::string(1024 * 1024, 'a'));
    EXPECT_EQ(Fetch("/file/limit.htm", ShortLimits()), 1);
    WriteWholeFile(Root().File("limit.htm"), std::string(1024 * 1024 + 1, 'a'));
    EXPECT_EQ(Fetch("/file/limit.htm", ShortLimits()), 0);
}

TEST_F(FetchLimitsTest, DefaultLimitStopsAnEndlessBodyAt64MiB)
{
    EXPECT_EQ(Fetch("/endless-body"), 0);
    size_t stored = StoredSize();
    EXPECT_GE(stored, 63u * 1024 * 1024);
    EXPECT_LE(stored, 2u * (64u * 1024 * 1024 + 64 * 1024));
    EXPECT_LT(m_seconds, 60.0);
}

TEST_F(FetchLimitsTest, BodyCutShortAndServerErrorsAreFailedFetches)
{
    EXPECT_EQ(Fetch("/short"), 0);  // 40 of 100 announced bytes, then a normal close
    for (int code : {500, 502, 503, 504, 599}) {
        std::string target = "/status?code=" + std::to_string(code);
        EXPECT_EQ(Fetch(target), 0) << code;
    }
    // Every other status is a page, stored as it comes.
    for (int code : {200, 301, 404, 418, 600}) {
        std::string target = "/status?code=" + std::to_string(code);
        EXPECT_EQ(Fetch(target), 1) << code;
        EXPECT_EQ(ReadWholeFile(Out()), "\r\r\n<html><body>status " + std::to_string(code) + "</body></html>\r\n");
    }
    // A whole body against its Content-Length is a page.
    WriteWholeFile(Root().File("exact.htm"), "<p>exactly this</p>\n");
    EXPECT_EQ(Fetch("/file/exact.htm"), 1);
}

TEST_F(FetchLimitsTest, FullDiskEndsTheFetchAtOnce)
{
    {
        FileSizeLimit full(256 * 1024);
        EXPECT_EQ(Fetch("/endless-body"), 0);
        EXPECT_LT(m_seconds, 10.0);  // far from the 120 s of the whole-fetch limit
        EXPECT_LE(StoredSize(), 256u * 1024);
        EXPECT_EQ(Fetch("/lf"), 1);  // a page that fits is still stored
    }
    EXPECT_EQ(ReadWholeFile(Out()), "\r\r\n<html>\r\nline one\r\nline two\r\n</html>\r\n");
}

}  // namespace
