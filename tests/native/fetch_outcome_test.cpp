// How a fetch ended, beside its 1 or 0: each kind of failure reported as its own, and a fetched
// page with the final response's status, against the scripted HTTP server on 127.0.0.1:80.
// Needs to bind port 80 (root in a private network namespace); skipped otherwise.
#include <gtest/gtest.h>

#include <string>

#include "acquisition/fetch_outcome.h"
#include "acquisition/http_fetch.h"
#include "scripted_suite.h"
#include "support.h"

namespace {

class FetchOutcomeTest : public ScriptedSuite {
protected:
    // Fetches url (a target of the scripted server when it begins with "/") into path.
    FetchResult Fetch(const std::string& url, const FetchSettings& settings = FetchSettings(),
                      std::string path = std::string())
    {
        std::string full = url[0] == '/' ? "http://127.0.0.1" + url : url;
        if (path.empty())
            path = m_dir.File("NEW.TEMP");
        FetchResult result;
        result.failure = FetchFailure::kAborted;  // must be overwritten
        result.status = -1;
        m_returned = HttpGetToFile(full.c_str(), path.c_str(), nullptr, settings, &result);
        // The two answers agree: 1 exactly when nothing failed.
        EXPECT_EQ(m_returned == 1, result.failure == FetchFailure::kNone) << url;
        return result;
    }

    TempDir m_dir;
    int m_returned = -1;
};

TEST_F(FetchOutcomeTest, NamesAndConnections)
{
    EXPECT_EQ(Fetch("http://127.0.0.1:99999/page.html").failure, FetchFailure::kBadUrl);
    EXPECT_EQ(Fetch("http://127.0.0.1:0/").failure, FetchFailure::kBadUrl);
    EXPECT_EQ(Fetch("ftp://127.0.0.1/").failure, FetchFailure::kBadUrl);
    if (OnlyLoopbackNetwork()) {  // a name that misses /etc/hosts cannot leave the machine
        EXPECT_EQ(Fetch("http://sitewake-nowhere.invalid/page.html").failure, FetchFailure::kNameNotFound);
    }
    EXPECT_EQ(Fetch("http://127.0.0.1:1/").failure, FetchFailure::kRefused);
    EXPECT_EQ(Fetch("/silent", ShortLimits()).failure, FetchFailure::kNoAnswer);
    EXPECT_EQ(Fetch("/reset").failure, FetchFailure::kReset);
    EXPECT_EQ(Fetch("/close-early").failure, FetchFailure::kClosedEarly);
    EXPECT_EQ(Fetch("/no-header").failure, FetchFailure::kClosedEarly);  // nothing to take as a page
}

TEST_F(FetchOutcomeTest, Limits)
{
    FetchSettings settings = ShortLimits();
    settings.totalMs = 60000;
    EXPECT_EQ(Fetch("/endless-body", settings).failure, FetchFailure::kTooLarge);
    EXPECT_EQ(Fetch("/endless-head", settings).failure, FetchFailure::kBadResponse);
    EXPECT_EQ(Fetch("/drip-forever?ms=200", ShortLimits()).failure, FetchFailure::kTooSlow);
    {
        FileSizeLimit full(64 * 1024);
        EXPECT_EQ(Fetch("/endless-body").failure, FetchFailure::kWriteFailed);
    }
    EXPECT_EQ(Fetch("/lf", FetchSettings(), m_dir.File("missing/NEW.TEMP")).failure, FetchFailure::kSiteFolder);
}

TEST_F(FetchOutcomeTest, StatusAndBody)
{
    FetchResult result = Fetch("/status?code=503");
    EXPECT_EQ(result.failure, FetchFailure::kServerError);
    EXPECT_EQ(result.status, 503);
    EXPECT_EQ(Fetch("/short").failure, FetchFailure::kBodyShort);

    // A page is fetched whatever its status, and keeps it; a response without a head has none.
    result = Fetch("/lf");
    EXPECT_EQ(result.failure, FetchFailure::kNone);
    EXPECT_EQ(result.status, 200);
    result = Fetch("/404");
    EXPECT_EQ(result.failure, FetchFailure::kNone);
    EXPECT_EQ(result.status, 404);
    result = Fetch("/redirect");  // a plain page's redirection is stored as the page
    EXPECT_EQ(result.failure, FetchFailure::kNone);
    EXPECT_EQ(result.status, 302);
    WriteWholeFile(Root().File("bare.htm"), "<p>bare</p>\n");
    EXPECT_EQ(Fetch("/file/bare.htm").status, 200);
}

TEST(FetchFailureNames, EveryKindHasANameThatReadsBack)
{
    EXPECT_STREQ(FetchFailureName(FetchFailure::kNone), "");
    for (int i = 1; i < static_cast<int>(FetchFailure::kCount); ++i) {
        auto failure = static_cast<FetchFailure>(i);
        std::string name = FetchFailureName(failure);
        EXPECT_FALSE(name.empty()) << i;
        FetchFailure back = FetchFailure::kNone;
        EXPECT_TRUE(ParseFetchFailure(name.c_str(), &back)) << name;
        EXPECT_EQ(back, failure) << name;
    }
    FetchFailure untouched = FetchFailure::kReset;
    EXPECT_FALSE(ParseFetchFailure("", &untouched));
    EXPECT_FALSE(ParseFetchFailure("no-such-failure", &untouched));
    EXPECT_EQ(untouched, FetchFailure::kReset);
}

}  // namespace
