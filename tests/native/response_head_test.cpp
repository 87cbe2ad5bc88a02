// Judging a response by its head, fed in pieces of every size: status, announced length, body
// bytes, Location, and responses with no head at all.
#include <gtest/gtest.h>

#include <string>

#include "acquisition/response_head.h"

namespace {

struct Judged {
    int status;
    bool ended;
    bool complete;
    unsigned long long body;
    std::string location;
    bool locationTooLong;
};

Judged Judge(const std::string& response, size_t pieceSize)
{
    ResponseHead head;
    for (size_t i = 0; i < response.size(); i += pieceSize)
        head.Take(response.data() + i, std::min(pieceSize, response.size() - i));
    return {head.Status(), head.Ended(), head.BodyComplete(), head.BodyBytes(), head.Location(),
            head.LocationTooLong()};
}

// The same judgement whatever the pieces the response arrived in.
Judged JudgeInEveryPieceSize(const std::string& response)
{
    Judged whole = Judge(response, response.size() + 1);
    for (size_t size = 1; size <= response.size(); ++size) {
        Judged pieces = Judge(response, size);
        EXPECT_EQ(pieces.status, whole.status) << size;
        EXPECT_EQ(pieces.complete, whole.complete) << size;
        EXPECT_EQ(pieces.body, whole.body) << size;
        EXPECT_EQ(pieces.location, whole.location) << size;
    }
    return whole;
}

TEST(ResponseHeadTest, StatusLengthAndLocationInAnyPieces)
{
    Judged r = JudgeInEveryPieceSize(
        "HTTP/1.1 302 Found\r\nCONTENT-length:  12 \r\nLocation: /next?a=1\r\nLocation: /second\r\n\r\n<p>moved</p>");
    EXPECT_EQ(r.status, 302);
    EXPECT_TRUE(r.ended);
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(r.body, 12u);
    EXPECT_EQ(r.location, "/next?a=1");  // the first one counts

    r = JudgeInEveryPieceSize("HTTP/1.0 200 OK\nContent-Length: 100\n\n<p>short</p>");
    EXPECT_EQ(r.status, 200);
    EXPECT_FALSE(r.complete);  // LF line ends end the head too
    EXPECT_EQ(r.body, 12u);
}

TEST(ResponseHeadTest, DamagedFieldsAreNotUsed)
{
    // A length that is no number, a status that is no three digits: neither counts.
    Judged r = JudgeInEveryPieceSize("HTTP/1.0 20x OK\r\nContent-Length: 12abc\r\n\r\n<p>x</p>");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.complete);
    std::string longLocation(ResponseHead::kLocationSize, 'l');
    r = Judge("HTTP/1.0 301 Moved\r\nLocation: /" + longLocation + "\r\n\r\n", 7);
    EXPECT_EQ(r.location, "");
    EXPECT_TRUE(r.locationTooLong);  // never used cut short
    r = Judge("HTTP/1.0 301 Moved\r\nLocation: /" + std::string(3 * ResponseHead::kLineSize, 'l') + "\r\n\r\n", 100);
    EXPECT_TRUE(r.locationTooLong);
}

TEST(ResponseHeadTest, ResponseWithoutHeadIsAllBody)
{
    Judged r = JudgeInEveryPieceSize("<html>no head</html>\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.ended);
    EXPECT_EQ(r.body, 21u);
    r = JudgeInEveryPieceSize("HTTQ 200\r\n\r\nx");
    EXPECT_EQ(r.body, 13u);
}

TEST(ResponseHeadTest, HeadThatNeverEndsIsTooLong)
{
    ResponseHead head;
    head.Take("HTTP/1.0 200 OK\r\n", 17);
    std::string filler = "X-Filler: " + std::string(1000, 'f') + "\r\n";
    for (int i = 0; i < 70 && !head.TooLong(); ++i)
        head.Take(filler.data(), filler.size());
    EXPECT_TRUE(head.TooLong());
    EXPECT_FALSE(head.Ended());
}

}  // namespace
