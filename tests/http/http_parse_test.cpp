#include "http/http_parse.h"

#include <gtest/gtest.h>

#include "http/http_errors.h"

using namespace quavrel;

// Integer reading: decimal, signed, and the three hexadecimal prefixes
TEST(ReadIntegerTest, AcceptsDecimalSignedAndHexForms)
{
    EXPECT_EQ(StrToIntDef("123", -1), 123);
    EXPECT_EQ(StrToIntDef("-42", 0), -42);
    EXPECT_EQ(StrToIntDef("+7", 0), 7);
    EXPECT_EQ(StrToIntDef("$1A", 0), 26);
    EXPECT_EQ(StrToIntDef("x1a", 0), 26);
    EXPECT_EQ(StrToIntDef("0x1A", 0), 26);
    EXPECT_EQ(StrToIntDef("2147483647", 0), 2147483647);
    EXPECT_EQ(StrToIntDef("-2147483648", 0), INT32_MIN);
}

TEST(ReadIntegerTest, RejectsEmptyGarbageAndOverflow)
{
    for (const char* text : {"", "-", "$", "0x", "12a", " 12", "1 2", "2147483648", "$80000000", "1e3"})
        EXPECT_EQ(StrToIntDef(text, -99), -99) << text;
}

TEST(ReadIntegerTest, StrToIntNamesTheOffendingText)
{
    try {
        StrToInt("8o");
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.message(), "'8o' is not a valid integer value");
    }
}

// Status line and Content-Length
TEST(StatusLineTest, CodeIsTheSecondWord)
{
    EXPECT_EQ(ParseStatusCode("HTTP/1.1 404 Not Found"), 404);
    EXPECT_EQ(ParseStatusCode("HTTP/1.0 200"), 200);
    EXPECT_EQ(ParseStatusCode("ICY 200 OK"), 200);   // the protocol name is not checked
    EXPECT_EQ(ParseStatusCode("HTTP/1.1"), -1);
    EXPECT_EQ(ParseStatusCode("HTTP/1.1 OK 200"), -1);
    EXPECT_EQ(ParseStatusCode(""), -1);
}

TEST(ContentLengthTest, TrimmedIntegerOrMinusOne)
{
    EXPECT_EQ(ParseContentLength(" 500 "), 500);
    EXPECT_EQ(ParseContentLength("0"), 0);
    EXPECT_EQ(ParseContentLength("$10"), 16);
    EXPECT_EQ(ParseContentLength("abc"), -1);
    EXPECT_EQ(ParseContentLength(""), -1);
}

// Chunk sizes
TEST(ChunkSizeTest, HexUpToTheFirstSpace)
{
    EXPECT_EQ(ParseChunkSize("1a"), 26);
    EXPECT_EQ(ParseChunkSize("1A"), 26);
    EXPECT_EQ(ParseChunkSize("10 ; comment"), 16);
    EXPECT_EQ(ParseChunkSize("0"), 0);
}

// An extension glued to the size makes the line unreadable, which ends the body.
TEST(ChunkSizeTest, UnreadableLinesCountAsZero)
{
    EXPECT_EQ(ParseChunkSize("1a;x=y"), 0);
    EXPECT_EQ(ParseChunkSize(""), 0);
    EXPECT_EQ(ParseChunkSize(" 1a"), 0);
    EXPECT_EQ(ParseChunkSize("-5"), 0);
    EXPECT_EQ(ParseChunkSize("FFFFFFFFF"), 0);
}

// Leading zeros make a line longer, not its value bigger; past 32 bits it is no size.
TEST(ChunkSizeTest, AnyNumberOfDigitsReadsAsHex)
{
    EXPECT_EQ(ParseChunkSize("00000000a"), 10);
    EXPECT_EQ(ParseChunkSize(std::string(40, '0') + "1a"), 26);
    EXPECT_EQ(ParseChunkSize("00007FFFFFFF"), 2147483647);
    EXPECT_EQ(ParseChunkSize("000080000000"), 0);
}

// Content-Range
TEST(ContentRangeTest, BothNumbersMustBeIntegers)
{
    EXPECT_NO_THROW(CheckContentRange("bytes 0-99/100"));
    EXPECT_NO_THROW(CheckContentRange(""));
    try {
        CheckContentRange("bytes 0-9z/100");
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.message(), "'9z' is not a valid integer value");
    }
    EXPECT_THROW(CheckContentRange("bytes */100"), EConvertError);
    EXPECT_THROW(CheckContentRange("bytes"), EConvertError);
}

// Header lists
TEST(HeaderListTest, FirstOfARepeatedNameCountsAndCaseIsIgnored)
{
    HeaderList headers;
    headers.addLine("Set-Cookie: a=1");
    headers.addLine("set-cookie: b=2");
    headers.addLine("Content-Length:   12  ");
    EXPECT_EQ(headers.value("SET-COOKIE"), "a=1");
    EXPECT_EQ(headers.values("Set-cookie"), (std::vector<std::string>{"a=1", "b=2"}));
    EXPECT_EQ(headers.value("content-length"), "12");
    EXPECT_FALSE(headers.has("Location"));
    EXPECT_EQ(headers.value("Location"), "");
}

TEST(HeaderListTest, ContinuationLinesJoinWithOneSpace)
{
    HeaderList headers;
    headers.addLine("X-Long: first");
    headers.addLine("   second");
    headers.addLine("\tthird");
    EXPECT_EQ(headers.value("X-Long"), "first second third");
    EXPECT_EQ(headers.lines().size(), 1u);
}

// Folding of long request header lines
TEST(FoldHeaderLineTest, ShortLinesStayWhole)
{
    EXPECT_EQ(FoldHeaderLine("Cookie: a=1"), std::vector<std::string>{"Cookie: a=1"});
}

TEST(FoldHeaderLineTest, LongLinesBreakAfterBlanksWithinTheLimit)
{
    std::string value;
    for (int i = 0; i < 200; ++i)
        value += (i ? "; " : "") + std::string("name") + std::to_string(i) + "=v";
    std::string line = "Cookie: " + value;
    std::vector<std::string> pieces = FoldHeaderLine(line);
    ASSERT_GT(pieces.size(), 1u);
    std::string joined;
    for (size_t i = 0; i < pieces.size(); ++i) {
        EXPECT_LE(pieces[i].size(), kFoldLineLength);
        EXPECT_NE(pieces[i].back(), ' ');
        if (i > 0) {
            EXPECT_EQ(pieces[i][0], ' ');
            EXPECT_NE(pieces[i][1], ' ');
        }
        joined += pieces[i];
    }
    // Unfolded by a receiver (continuations joined with one space) it is the line again.
    EXPECT_EQ(joined, line);
}

TEST(FoldHeaderLineTest, FoldingStartsAbove1024Characters)
{
    std::string line = "Cookie: a=1; " + std::string(kFoldLineLength - 13, 'b');
    ASSERT_EQ(line.size(), kFoldLineLength);
    EXPECT_EQ(FoldHeaderLine(line).size(), 1u);
    EXPECT_EQ(FoldHeaderLine(line + "b"), (std::vector<std::string>{"Cookie: a=1;", " " + std::string(kFoldLineLength - 12, 'b')}));
}

// Base64 of the empty Basic credential and the padding cases
TEST(Base64Test, EncodesWithPadding)
{
    EXPECT_EQ(Base64Encode(":"), "Og==");
    EXPECT_EQ(Base64Encode("ab"), "YWI=");
    EXPECT_EQ(Base64Encode("abc"), "YWJj");
    EXPECT_EQ(Base64Encode(""), "");
}
