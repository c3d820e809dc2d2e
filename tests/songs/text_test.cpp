// StripTags, Trim, QueryEncode and the URL template filling.
#include <gtest/gtest.h>

#include <stdexcept>

#include "songs/text.h"

namespace quavrel {
namespace {

// ---- StripTags ----

TEST(StripTags, RemovesRunFromAngleToAngle)
{
    EXPECT_EQ(StripTags("x < y > z"), "x  z");
    EXPECT_EQ(StripTags("<b>Title</b>"), "Title");
}

TEST(StripTags, LoneBracketsStay)
{
    EXPECT_EQ(StripTags("x < y"), "x < y");
    EXPECT_EQ(StripTags("x > y"), "x > y");
    EXPECT_EQ(StripTags("a > b < c"), "a > b < c");
}

TEST(StripTags, RunEndsAtFirstClosingBracket)
{
    EXPECT_EQ(StripTags("a << b >> c"), "a > c");
}

TEST(StripTags, RunMaySpanLineBreaks)
{
    EXPECT_EQ(StripTags("a<b\r\nc>d"), "ad");
}

TEST(StripTags, EmptyAndTagFreeInputUnchanged)
{
    EXPECT_EQ(StripTags(""), "");
    EXPECT_EQ(StripTags("\xB8\xE8 plain"), "\xB8\xE8 plain");
}

// Matching stops at a 0x00 byte, but the bytes after it are kept as they are.
TEST(StripTags, TextAfterNulIsKeptUntouched)
{
    std::string input("<i>a\0<b>c", 9);
    EXPECT_EQ(StripTags(input), std::string("a\0<b>c", 6));
}

// ---- Trim ----

TEST(Trim, RemovesControlBytesAndBlanksAtBothEnds)
{
    EXPECT_EQ(Trim(" \t\r\n\x01" "abc \x1F"), "abc");
    EXPECT_EQ(Trim("a b"), "a b");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(Trim(""), "");
}

TEST(Trim, KeepsHighBytes)
{
    EXPECT_EQ(Trim("\xA1\xA1 x \xA1\xA1"), "\xA1\xA1 x \xA1\xA1");
    EXPECT_EQ(Trim("\x80"), "\x80");
}

// ---- QueryEncode ----

TEST(QueryEncode, Table)
{
    const std::pair<std::string, std::string> table[] = {
        {"AZaz09", "AZaz09"}, {" ", "+"},   {"+", "%2B"},  {"%", "%25"},    {"&", "%26"},
        {"=", "%3D"},         {"/", "%2F"}, {"?", "%3F"},  {"#", "%23"},    {":", "%3A"},
        {"-", "%2D"},         {".", "%2E"}, {"_", "%5F"},  {"'", "%27"},    {"\t", "%09"},
        {"\xB0\xAE", "%B0%AE"}, {"", ""},   {"~", "%7E"},  {"\x7F", "%7F"}, {"\xFF", "%FF"},
    };
    for (const auto& [in, out] : table)
        EXPECT_EQ(QueryEncode(in), out) << in;
}

TEST(QueryEncode, NulByteIsEncodedNotDropped)
{
    EXPECT_EQ(QueryEncode(std::string("a\0b", 3)), "a%00b");
}

TEST(QueryEncode, BlankBetweenGbkCharactersAndPlus)
{
    EXPECT_EQ(QueryEncode("\xD5\xC5 \xB8\xE8"), "%D5%C5+%B8%E8");
    EXPECT_EQ(QueryEncode("a+b"), "a%2Bb");
    EXPECT_EQ(QueryEncode(" abc "), "+abc+");
}

// Already encoded input is encoded once more, never passed through.
TEST(QueryEncode, EncodesPercentOfEncodedInput)
{
    EXPECT_EQ(QueryEncode("%B0%AE"), "%25B0%25AE");
}

// ---- URL templates ----

TEST(FillTemplate, ArgumentsInOrder)
{
    EXPECT_EQ(FillTemplate("/searchmp3?type=5&keyword=%s&items=%d", {std::string("a+b"), int32_t{1}}),
              "/searchmp3?type=5&keyword=a+b&items=1");
    EXPECT_EQ(FillTemplate("%d/%d", {int32_t{-7}, int32_t{2147483647}}), "-7/2147483647");
    EXPECT_EQ(FillTemplate("%s%s", {std::string("%d"), std::string("x")}), "%dx");
    EXPECT_EQ(FillTemplate("100%%", {}), "100%");
}

TEST(FillTemplate, MismatchRaises)
{
    EXPECT_THROW(FillTemplate("%s", {}), std::invalid_argument);
    EXPECT_THROW(FillTemplate("%d", {std::string("1")}), std::invalid_argument);
    EXPECT_THROW(FillTemplate("%", {}), std::invalid_argument);
    EXPECT_THROW(FillTemplate("%x", {int32_t{1}}), std::invalid_argument);
}

}  // namespace
}  // namespace quavrel
