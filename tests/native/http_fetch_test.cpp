// Fetching from the scripted HTTP server on 127.0.0.1:80: the exact request sent, the exact bytes
// stored and the result for each server behaviour. Needs to bind port 80 (root in a private
// network namespace); skipped otherwise.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "acquisition/http_fetch.h"
#include "scripted_suite.h"
#include "support.h"

namespace {

std::string RequestFor(const std::string& target, const std::string& host = "127.0.0.1", int port = 80)
{
    return "GET " + target + " HTTP/1.0\r\nHost: " + host + ":" + std::to_string(port) +
           "\r\nUser-Agent: Quorant-3.31\r\n\r\n";
}

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class ScriptedFetchTest : public ScriptedSuite {
protected:
    void SetUp() override
    {
        ScriptedSuite::SetUp();
        if (!IsSkipped())
            m_seen = Server().Requests().size();
    }

    // Names missing from /etc/hosts go to the resolver; keep those lookups off real networks.
    void SkipUnlessPrivateNetwork()
    {
        if (!OnlyLoopbackNetwork())
            GTEST_SKIP() << "name lookups would leave the machine: run inside a private network namespace";
    }
    int Fetch(const std::string& url, const FetchSettings& settings = FetchSettings(),
              const volatile long* abort = nullptr)
    {
        return HttpGetToFile(url.c_str(), Out().c_str(), abort, settings);
    }
    std::string Out() const { return m_dir.File("new.htm"); }
    std::string Stored() const { return ReadWholeFile(Out()); }
    // Requests the server received during this test.
    std::vector<std::string> Requests() const
    {
        std::vector<std::string> all = Server().Requests();
        return std::vector<std::string>(all.begin() + static_cast<long>(m_seen), all.end());
    }
    static FetchSettings Timeout(unsigned ms)
    {
        FetchSettings settings;
        settings.timeoutMs = ms;
        return settings;
    }
    void ExpectOneRequest(const std::string& request)
    {
        std::vector<std::string> requests = Requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0], request);
    }

    TempDir m_dir;
    size_t m_seen = 0;
};


TEST_F(ScriptedFetchTest, LfPageIsStoredWithCrLf)
{
    EXPECT_EQ(Fetch("http://127.0.0.1/lf"), 1);
    ExpectOneRequest(RequestFor("/lf"));
    EXPECT_EQ(Stored(), "\r\r\n<html>\r\nline one\r\nline two\r\n</html>\r\n");
}

TEST_F(ScriptedFetchTest, CrLfPageGetsAnExtraCr)
{
    EXPECT_EQ(Fetch("http://127.0.0.1/crlf"), 1);
    EXPECT_EQ(Stored(), "\r\r\n<html>\r\r\nline one\r\r\nline two\r\r\n</html>\r\r\n");
}

TEST_F(ScriptedFetchTest, PiecesAfterTheHeadAreStoredWhole)
{
    EXPECT_EQ(Fetch("http://127.0.0.1/pieces"), 1);
    ExpectOneRequest(RequestFor("/pieces"));
    EXPECT_EQ(Stored(), "\r\r\n<html>\r\n<body>first</body>\r\n</html>\r\n");
}

TEST_F(ScriptedFetchTest, HeadEndSplitAcrossPiecesStartsTheBodyAtTheFirstAngleBracket)
{
    EXPECT_EQ(Fetch("http://127.0.0.1/split-header"), 1);
    EXPECT_EQ(Stored(), "<b>bold</b> line\r\n");
}

TEST_F(ScriptedFetchTest, AngleBracketInAHeaderField)
{
    EXPECT_EQ(Fetch("http://127.0.0.1/lt-header"), 1);
    EXPECT_EQ(Stored(), "\r\r\nbody\r\n");  // the head end in the same piece wins
    EXPECT_EQ(Fetch("http://127.0.0.1/lt-header-split"), 1);
    EXPECT_EQ(Stored(), "<b\r\r\n\r\r\nbody <i>x</i>\r\n");
}

TEST_F(ScriptedFetchTest, LeadByteInTheHeadHidesItsEnd)
{
    EXPECT_EQ(Fetch("http://127.0.0.1/lead-byte-header"), 1);
    EXPECT_EQ(Stored(), "<p>a</p>\r\n");
}

TEST_F(ScriptedFetchTest, ResponseWithoutHeadEndOrAngleBracketFails)
{
    WriteWholeFile(Out(), "previous contents");
    EXPECT_EQ(Fetch("http://127.0.0.1/no-header"), 0);
    EXPECT_EQ(Stored(), "");
}

TEST_F(ScriptedFetchTest, ZeroByteCutsItsPiece)
{
    EXPECT_EQ(Fetch("http://127.0.0.1/zero-byte"), 1);
    EXPECT_EQ(Stored(), "\r\r\nabcghi\r\n");
    EXPECT_EQ(Fetch("http://127.0.0.1/zero-header"), 1);
    EXPECT_EQ(Stored(), "<p>shown</p>\r\n");
}

TEST_F(ScriptedFetchTest, ErrorAndRedirectPagesAreStoredAsTheyCome)
{
    EXPECT_EQ(Fetch("http://127.0.0.1/404"), 1);
    EXPECT_EQ(Stored(), "\r\r\n<html><body>Not found</body></html>\r\n");
    EXPECT_EQ(Fetch("http://127.0.0.1/redirect"), 1);
    EXPECT_EQ(Stored(), "\r\r\n<a href=\"/lf\">moved</a>\r\n");
    // The redirect is not followed.
    EXPECT_EQ(Requests().size(), 2u);
}

TEST_F(ScriptedFetchTest, ClosingBeforeTheBodyFails)
{
    EXPECT_EQ(Fetch("http://127.0.0.1/close-early"), 0);
    EXPECT_EQ(Stored(), "");
}

TEST_F(ScriptedFetchTest, ConnectionResetFails)
{
    EXPECT_EQ(Fetch("http://127.0.0.1/reset"), 0);
    std::string stored = Stored();
    EXPECT_EQ(stored, std::string("\r\r\n<p>partial").substr(0, stored.size()));  // whatever came
}

TEST_F(ScriptedFetchTest, SchemeIsOptionalAndStrippedOnlyAtTheStart)
{
    EXPECT_EQ(Fetch("127.0.0.1"), 1);
    EXPECT_EQ(Fetch("HTTP://127.0.0.1/lf"), 1);
    EXPECT_EQ(Fetch("Http://127.0.0.1/crlf"), 1);
    EXPECT_EQ(Fetch("127.0.0.1/x?u=http://y"), 1);  // a 404 page is still a page
    std::vector<std::string> requests = Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0], RequestFor("/"));
    EXPECT_EQ(requests[1], RequestFor("/lf"));
    EXPECT_EQ(requests[2], RequestFor("/crlf"));
    EXPECT_EQ(requests[3], RequestFor("/x?u=http://y"));
}

TEST_F(ScriptedFetchTest, HostNameIsLookedUp)
{
    EXPECT_EQ(Fetch("http://localhost/lf"), 1);
    ExpectOneRequest(RequestFor("/lf", "localhost"));
}

TEST_F(ScriptedFetchTest, PortInTheHostIsThePortConnectedTo)
{
    TempDir otherRoot;
    ScriptedServer other;
    ASSERT_TRUE(other.Start(8080, otherRoot.Path())) << other.Error();
    EXPECT_EQ(Fetch("http://127.0.0.1:8080/lf"), 1);
    EXPECT_EQ(Stored(), "\r\r\n<html>\r\nline one\r\nline two\r\n</html>\r\n");
    EXPECT_EQ(Fetch("127.0.0.1:8080/crlf"), 1);
    EXPECT_EQ(Fetch("HTTP://localhost:8080"), 1);
    std::vector<std::string> requests = other.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0], RequestFor("/lf", "127.0.0.1", 8080));
    EXPECT_EQ(requests[1], RequestFor("/crlf", "127.0.0.1", 8080));
    EXPECT_EQ(requests[2], RequestFor("/", "localhost", 8080));
    // Port 80 named in the URL is the same fetch as none named, request bytes and all.
    EXPECT_EQ(Fetch("http://localhost:80/lf"), 1);
    ExpectOneRequest(RequestFor("/lf", "localhost"));
}

TEST_F(ScriptedFetchTest, BadPortFailsWithoutConnecting)
{
    for (const char* url : {"http://127.0.0.1:/lf", "http://127.0.0.1:0/lf", "127.0.0.1:65536/lf",
                            "http://127.0.0.1:80a/lf", "http://localhost:http/lf", "http://:80/lf"}) {
        WriteWholeFile(Out(), "previous contents");
        EXPECT_EQ(Fetch(url), 0) << url;
        EXPECT_TRUE(FileExists(Out()));
        EXPECT_EQ(Stored(), "") << url;  // emptied before anything went on the network
    }
    EXPECT_EQ(Requests().size(), 0u);
}

TEST_F(ScriptedFetchTest, UnknownHostAndRefusedConnectionFail)
{
    SkipUnlessPrivateNetwork();
    EXPECT_EQ(Fetch("http://no-such-host.invalid/"), 0);
    FetchSettings closedPort;
    closedPort.port = 9;
    EXPECT_EQ(Fetch("http://127.0.0.1/lf", closedPort), 0);
    EXPECT_EQ(Stored(), "");
    EXPECT_EQ(Requests().size(), 0u);
}

TEST_F(ScriptedFetchTest, UnopenableFileStillFetchesButFails)
{
    std::string path = m_dir.File("no-such-folder/new.htm");
    EXPECT_EQ(HttpGetToFile("http://127.0.0.1/lf", path.c_str()), 0);
    ExpectOneRequest(RequestFor("/lf"));
    EXPECT_FALSE(FileExists(path));
}

TEST_F(ScriptedFetchTest, FileBackedPageFollowsItsFile)
{
    std::string page = Root().File("page.htm");
    WriteWholeFile(page, "<p>v1</p>\n");
    EXPECT_EQ(Fetch("http://127.0.0.1/file/page.htm"), 1);
    EXPECT_EQ(Stored(), "\r\r\n<p>v1</p>\r\n");
    WriteWholeFile(page, "<p>version \x95\x5C 2</p>\r\n<p>more</p>");
    EXPECT_EQ(Fetch("http://127.0.0.1/file/page.htm"), 1);
    EXPECT_EQ(Stored(), "\r\r\n<p>version \x95\x5C 2</p>\r\r\n<p>more</p>");
    std::vector<std::string> requests = Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1], RequestFor("/file/page.htm"));
}

TEST_F(ScriptedFetchTest, PageLargerThanManyPiecesArrivesWhole)
{
    std::string page;
    std::string expected = "\r\r\n";
    for (int i = 0; i < 4000; ++i) {
        std::string text = "<li>item " + std::to_string(i) + " \x83\x5C</li>";
        page += text + "\n";
        expected += text + "\r\n";
    }
    WriteWholeFile(Root().File("big.htm"), page);
    EXPECT_EQ(Fetch("http://127.0.0.1/file/big.htm"), 1);
    EXPECT_EQ(Stored(), expected);
}

TEST_F(ScriptedFetchTest, SilentServerTimesOut)
{
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Fetch("http://127.0.0.1/silent", Timeout(1000)), 0);
    double elapsed = SecondsSince(start);
    EXPECT_GE(elapsed, 0.9);
    EXPECT_LT(elapsed, 10.0);
    ExpectOneRequest(RequestFor("/silent"));
    EXPECT_EQ(Stored(), "");
}

TEST_F(ScriptedFetchTest, TimeOutCountsFromTheLastProgress)
{
    EXPECT_EQ(Fetch("http://127.0.0.1/slow?ms=2000", Timeout(1000)), 0);
    EXPECT_EQ(Fetch("http://127.0.0.1/slow?ms=200", Timeout(1000)), 1);
    EXPECT_EQ(Stored(), "\r\r\n<p>slow</p>\r\n");
    // Four gaps of 400 ms: longer than the time-out altogether, never between two bytes.
    EXPECT_EQ(Fetch("http://127.0.0.1/drip?ms=400&count=4", Timeout(1000)), 1);
    EXPECT_EQ(Stored(), "\r\r\n<p>....</p>\r\n");
}

TEST_F(ScriptedFetchTest, AbortFlagEndsAWaitPromptly)
{
    volatile long abort = 0;
    std::thread raiser([&abort] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        abort = 1;
    });
    auto start = std::chrono::steady_clock::now();
    int result = Fetch("http://127.0.0.1/silent", FetchSettings(), &abort);
    double elapsed = SecondsSince(start);
    raiser.join();
    EXPECT_EQ(result, 0);
    EXPECT_LT(elapsed, 5.0);  // far from the 30 s time-out
    ExpectOneRequest(RequestFor("/silent"));
}

TEST_F(ScriptedFetchTest, RaisedAbortFlagPreventsTheConnection)
{
    volatile long abort = 1;
    WriteWholeFile(Out(), "previous contents");
    EXPECT_EQ(Fetch("http://127.0.0.1/lf", FetchSettings(), &abort), 0);
    EXPECT_EQ(Stored(), "");
    EXPECT_EQ(Requests().size(), 0u);
}

}  // namespace
