#include "http/http_response.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "http/http_errors.h"

using namespace quavrel;

namespace {
struct Read {
    HttpResponse response;
    std::string body;
    size_t left = 0;   // bytes still in the input buffer afterwards
};

Read readAll(const std::string& bytes, size_t step = kRecvBufferSize)
{
    StringInput input(bytes, step);
    Read r;
    ReadResponseHead(input, r.response);
    ReadResponseBody(input, r.response, r.body);
    r.left = input.buffered();
    return r;
}
}  // namespace

// Status line and headers
TEST(ResponseHeadTest, ReadsStatusAndHeadersWithBareLf)
{
    Read r = readAll("HTTP/1.1 200 OK\nContent-Length: 3\nX: y\n\nabc");
    EXPECT_EQ(r.response.statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(r.response.statusCode, 200);
    EXPECT_EQ(r.response.contentLength, 3);
    EXPECT_EQ(r.response.headers.value("x"), "y");
    EXPECT_EQ(r.body, "abc");
}

TEST(ResponseHeadTest, CloseBeforeTheEmptyLineKeepsTheLinesSoFar)
{
    StringInput input("HTTP/1.1 200 OK\r\nA: 1\r\nB: partial");
    HttpResponse response;
    ReadResponseHead(input, response);
    EXPECT_TRUE(response.headersCutShort);
    EXPECT_EQ(response.headers.value("A"), "1");
    EXPECT_FALSE(response.headers.has("B"));
}

TEST(ResponseHeadTest, CloseBeforeTheStatusLineFails)
{
    StringInput input("HTTP/1.1 200");
    HttpResponse response;
    EXPECT_THROW(ReadResponseHead(input, response), EIdConnClosedGracefully);
}

TEST(ResponseHeadTest, LineLengthLimitIs16384Bytes)
{
    std::string ok = "HTTP/1.1 200 OK\r\nX: " + std::string(kMaxLineLength - 3, 'a') + "\r\n\r\n";
    EXPECT_EQ(readAll(ok, 1000).response.headers.value("X").size(), kMaxLineLength - 3);
    std::string tooLong = "HTTP/1.1 200 OK\r\nX: " + std::string(kMaxLineLength - 2, 'a') + "\r\n\r\n";
    try {
        readAll(tooLong, 1000);
        FAIL() << "no exception";
    } catch (const EIdReadLnMaxLineLengthExceeded& e) {
        EXPECT_EQ(e.message(), "Max line length exceeded.");
    }
    // A line that never ends fails as soon as it is too long, without waiting for the close.
    EXPECT_THROW(readAll(std::string(kMaxLineLength * 4, 'x')), EIdReadLnMaxLineLengthExceeded);
}

// The longest line may end with its CR in one read and its LF in the next.
TEST(ResponseHeadTest, LongestLineWithItsEndSplitAcrossReads)
{
    const std::string status = "HTTP/1.1 200 " + std::string(kMaxLineLength - 13, 'x');
    StringInput input(status + "\r\nContent-Length: 0\r\n\r\n", kMaxLineLength + 1);
    HttpResponse response;
    ReadResponseHead(input, response);
    EXPECT_EQ(response.statusLine, status);
}

TEST(ResponseHeadTest, UnreadableContentRangeFails)
{
    EXPECT_THROW(readAll("HTTP/1.1 206 OK\r\nContent-Range: bytes a-1/2\r\n\r\n"), EConvertError);
}

// Counted bodies
TEST(CountedBodyTest, ZeroLengthIsAnEmptyBodyAndLeavesTheRest)
{
    Read r = readAll("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\nHTTP/1.1 200 OK\r\n");
    EXPECT_EQ(r.body, "");
    EXPECT_EQ(r.left, 17u);
}

TEST(CountedBodyTest, BytesAfterTheBodyStayBuffered)
{
    Read r = readAll("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhelloNEXT", 7);
    EXPECT_EQ(r.body, "hello");
    EXPECT_EQ(r.left, 4u);
}

// The headers come alone, then 70,000 of 100,000 bytes and a close: two whole blocks remain.
TEST(CountedBodyTest, EarlyCloseCutsBackToTheLastCompleteBlock)
{
    std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n";
    std::string body(70000, 'b');
    StringInput input(head + body, head.size());
    HttpResponse response;
    ReadResponseHead(input, response);
    ASSERT_EQ(input.buffered(), 0u);
    std::string out;
    ReadResponseBody(input, response, out);
    EXPECT_EQ(out.size(), 65536u);
}

// Chunked bodies
TEST(ChunkedBodyTest, DecodesHexSizes)
{
    std::string chunk(26, 'z');
    std::string bytes = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1a\r\n" + chunk + "\r\n3\r\nabc\r\n0\r\n\r\nREST";
    EXPECT_EQ(readAll(bytes, 5).body, chunk + "abc");
    Read whole = readAll(bytes);
    EXPECT_EQ(whole.body, chunk + "abc");
    EXPECT_EQ(whole.left, 4u);
}

TEST(ChunkedBodyTest, ExtensionGluedToTheSizeEndsTheBody)
{
    Read r = readAll("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1a;x=y\r\n" + std::string(26, 'z') + "\r\n0\r\n\r\n");
    EXPECT_EQ(r.body, "");
}

TEST(ChunkedBodyTest, CapitalChunkedIsReadUntilTheClose)
{
    std::string raw = "3\r\nabc\r\n0\r\n\r\n";
    EXPECT_EQ(readAll("HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n" + raw).body, raw);
}

TEST(ChunkedBodyTest, CloseInsideAChunkFails)
{
    EXPECT_THROW(readAll("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\na\r\nabc"), EIdConnClosedGracefully);
}

// Content-Length wins over chunked coding.
TEST(ChunkedBodyTest, CountedBodyIsNotDecoded)
{
    EXPECT_EQ(readAll("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Length: 3\r\n\r\n3\r\nabc").body, "3\r\n");
}

// Bodies up to the close
TEST(CloseDelimitedBodyTest, EverythingUntilTheClose)
{
    std::string body(100000, 'q');
    EXPECT_EQ(readAll("HTTP/1.1 200 OK\r\n\r\n" + body, 999).body, body);
    EXPECT_EQ(readAll("HTTP/1.1 200 OK\r\nContent-Length: junk\r\n\r\nxyz").body, "xyz");
}

TEST(BodyProgressTest, ReportsGrowingCountsUpToTheTotal)
{
    StringInput input("HTTP/1.1 200 OK\r\nContent-Length: 70000\r\n\r\n" + std::string(70000, 'p'), 1000);
    HttpResponse response;
    ReadResponseHead(input, response);
    std::vector<int64_t> seen;
    std::string out;
    ReadResponseBody(input, response, out, -1, [&](int64_t n) { seen.push_back(n); });
    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.back(), 70000);
}
