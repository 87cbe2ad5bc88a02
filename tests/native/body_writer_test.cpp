// Turning received pieces into stored bytes, and splitting URLs into the request.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "acquisition/http_fetch.h"
#include "tests/common/memory_sink.h"

namespace {

struct Outcome {
    std::string stored;
    bool started;
};

Outcome Feed(const std::vector<std::string>& pieces)
{
    MemorySink sink;
    BodyWriter writer(sink);
    for (const std::string& piece : pieces)
        writer.TakePiece(piece.data(), piece.size());
    EXPECT_TRUE(writer.Finish());
    return {sink.bytes, writer.BodyStarted()};
}

TEST(BodyWriter, StoresFromTheBlankLineOfTheHeadEnd)
{
    Outcome out = Feed({"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<p>x</p>\n"});
    EXPECT_TRUE(out.started);
    EXPECT_EQ(out.stored, "\r\r\n<p>x</p>\r\n");
}

TEST(BodyWriter, HeadEndWinsOverAnEarlierAngleBracket)
{
    Outcome out = Feed({"HTTP/1.0 200 OK\r\nX-Note: a<b\r\n\r\nbody\n"});
    EXPECT_EQ(out.stored, "\r\r\nbody\r\n");
}

TEST(BodyWriter, WithoutHeadEndStoresFromTheFirstAngleBracket)
{
    Outcome out = Feed({"no head here <html>\nrest\n"});
    EXPECT_TRUE(out.started);
    EXPECT_EQ(out.stored, "<html>\r\nrest\r\n");
}

TEST(BodyWriter, DropsPiecesUntilTheBodyStartsThenStoresPiecesWhole)
{
    Outcome out = Feed({"HTTP/1.0 200 OK\r\n", "Server: x\r\n", "\r\n<a>", "pre\r\n\r\nmore <i>\n", "tail"});
    // "\r\n<a>" has no head end of its own: it starts the body at "<".
    EXPECT_TRUE(out.started);
    EXPECT_EQ(out.stored, "<a>pre\r\r\n\r\r\nmore <i>\r\ntail");
}

TEST(BodyWriter, PiecesWithoutHeadEndOrAngleBracketAreDropped)
{
    Outcome out = Feed({"just some text\n", "without any markup\n"});
    EXPECT_FALSE(out.started);
    EXPECT_EQ(out.stored, "");
    EXPECT_FALSE(Feed({}).started);
}

TEST(BodyWriter, HeadEndSplitAcrossPiecesIsNotSeen)
{
    Outcome out = Feed({"HTTP/1.0 200 OK\r\n\r", "\nplain\r\nsecond <b>bold</b>\n"});
    EXPECT_EQ(out.stored, "<b>bold</b>\r\n");
}

TEST(BodyWriter, AZeroByteEndsThePiece)
{
    using namespace std::string_literals;
    Outcome out = Feed({"HTTP/1.0 200 OK\r\n\r\nabc\0def\n"s, "ghi\0\n"s, "\0<p>"s, "jkl\n"});
    EXPECT_EQ(out.stored, "\r\r\nabcghijkl\r\n");
    // Before the body start the zero byte hides what follows it.
    Outcome hidden = Feed({"HTTP/1.0 200 OK\r\nX: y\0\r\n\r\n<p>hidden</p>\n"s, "<p>shown</p>\n"});
    EXPECT_EQ(hidden.stored, "<p>shown</p>\r\n");
}

TEST(BodyWriter, SearchesWalkCodePage932Characters)
{
    // 0x83 takes the CR after it as its trail byte, so the head end is not found; "<" is.
    Outcome out = Feed({"HTTP/1.0 200 OK\r\nX-Name: \x83\r\n\r\n<p>a</p>\n"});
    EXPECT_EQ(out.stored, "<p>a</p>\r\n");
    // A "<" as a trail byte (0x3C is not a trail byte in code page 932, but a lead byte still
    // takes the byte after it) is skipped too.
    Outcome skipped = Feed({"\x95<x\r\n", "<y>\n"});
    EXPECT_EQ(skipped.stored, "<y>\r\n");
}

TEST(BodyWriter, StoresEveryLfAsCrLfAndLeavesOtherBytes)
{
    std::string bytes;
    for (int c = 1; c < 256; ++c)
        bytes += static_cast<char>(c);
    Outcome out = Feed({"<", bytes, "\r\n\n\r"});
    std::string expected = "<";
    for (int c = 1; c < 256; ++c) {
        if (c == '\n')
            expected += '\r';
        expected += static_cast<char>(c);
    }
    expected += "\r\r\n\r\n\r";
    EXPECT_EQ(out.stored, expected);
}

TEST(BodyWriter, StreamsThroughAModestBuffer)
{
    MemorySink sink;
    BodyWriter writer(sink);
    std::string piece(kPieceSize, 'x');
    for (size_t i = 0; i < piece.size(); i += 100)
        piece[i] = '\n';
    piece[0] = '<';
    std::string expected;
    for (int i = 0; i < 200; ++i) {
        writer.TakePiece(piece.data(), piece.size());
        for (char c : piece) {
            if (c == '\n')
                expected += '\r';
            expected += c;
        }
    }
    EXPECT_TRUE(writer.Finish());
    EXPECT_EQ(sink.bytes, expected);
    EXPECT_LE(sink.largestPut, static_cast<size_t>(BodyWriter::kStoreBufferSize));
}

TEST(BodyWriter, ReportsASinkThatRefusesBytes)
{
    MemorySink sink;
    sink.refuse = true;
    BodyWriter writer(sink);
    writer.TakePiece("<p>", 3);
    EXPECT_TRUE(writer.BodyStarted());
    EXPECT_FALSE(writer.Finish());
}

UrlParts Split(const char* url)
{
    UrlParts parts;
    SplitUrl(url, &parts);
    return parts;
}

TEST(SplitUrl, StripsOnlyALeadingSchemeInAnyLetterCase)
{
    EXPECT_STREQ(Split("http://example.com/a/b?c=d").host, "example.com");
    EXPECT_STREQ(Split("http://example.com/a/b?c=d").path, "/a/b?c=d");
    EXPECT_STREQ(Split("HTTP://Example.com/x").host, "Example.com");
    EXPECT_STREQ(Split("Http://h/").path, "/");
    EXPECT_STREQ(Split("hTtP://h").host, "h");
    EXPECT_STREQ(Split("h/x?u=http://y").path, "/x?u=http://y");
    EXPECT_STREQ(Split("ahttp://h/p").host, "ahttp:");
    EXPECT_STREQ(Split("ahttp://h/p").path, "//h/p");
    EXPECT_STREQ(Split("http:/h").host, "http:");
    EXPECT_STREQ(Split("http:").host, "http:");
    EXPECT_STREQ(Split("").host, "");
    EXPECT_STREQ(Split("").path, "/");
}

TEST(SplitUrl, KeepsThePortInTheHostAndWalksCodePage932)
{
    EXPECT_STREQ(Split("http://127.0.0.1:8080/x").host, "127.0.0.1:8080");
    EXPECT_STREQ(Split("http://127.0.0.1:8080/x").path, "/x");
    EXPECT_STREQ(Split("example.com").path, "/");
    // The "/" after the lead byte 0x95 is its trail byte, not a separator.
    EXPECT_STREQ(Split("\x95/x/y").host, "\x95/x");
    EXPECT_STREQ(Split("\x95/x/y").path, "/y");
}

TEST(FormatRequest, BuildsTheRequestByteForByte)
{
    char request[kRequestBufferSize];
    ASSERT_TRUE(FormatRequest(request, sizeof(request), Split("http://127.0.0.1/lf"), 80));
    EXPECT_STREQ(request, "GET /lf HTTP/1.0\r\nHost: 127.0.0.1:80\r\nUser-Agent: Quorant-3.31\r\n\r\n");
    ASSERT_TRUE(FormatRequest(request, sizeof(request), Split("example.com"), 80));
    EXPECT_STREQ(request, "GET / HTTP/1.0\r\nHost: example.com:80\r\nUser-Agent: Quorant-3.31\r\n\r\n");
}

TEST(FormatRequest, RefusesARequestLongerThanItsBuffer)
{
    // The longest URL the caller passes (259 bytes) fits; anything far longer is refused whole.
    std::string longest = "http://h/" + std::string(250, 'p');
    char request[kRequestBufferSize];
    EXPECT_TRUE(FormatRequest(request, sizeof(request), Split(longest.c_str()), 80));
    std::string tooLong = "http://h/" + std::string(600, 'p');
    memset(request, 'x', sizeof(request));
    EXPECT_FALSE(FormatRequest(request, sizeof(request), Split(tooLong.c_str()), 80));
    EXPECT_EQ(request[0], '\0');
    // A URL longer than the 1024-byte copy is cut to 1023 bytes, never overrun: what is left
    // after the scheme and the host "h" is the path.
    std::string huge = "http://h/" + std::string(5000, 'q');
    UrlParts parts = Split(huge.c_str());
    EXPECT_EQ(strlen(parts.path), 1023u - 7u - 1u);
}

}  // namespace
