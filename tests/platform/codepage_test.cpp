#include "platform/codepage.h"
#include "platform/atomic_file.h"

#include <cerrno>

#include <gtest/gtest.h>

using namespace quavrel;

// "中文" is D6 D0 CE C4 in GBK and E4 B8 AD E6 96 87 in UTF-8.
TEST(Codepage, RoundTripsChinese)
{
    const std::string gbk = "\xD6\xD0\xCE\xC4";
    const std::string utf8 = "\xE4\xB8\xAD\xE6\x96\x87";
    EXPECT_EQ(gbkToUtf8(gbk), utf8);
    EXPECT_EQ(utf8ToGbk(utf8), gbk);
}

TEST(Codepage, UnencodableCharacterBecomesQuestionMark)
{
    // U+1F600 (an emoji) has no GBK form; the text around it survives.
    EXPECT_EQ(utf8ToGbk("a\xF0\x9F\x98\x80" "b"), "a?b");
}

TEST(Codepage, BrokenGbkDoesNotLoseTheRest)
{
    // A lone lead byte at the end cannot be decoded; the ASCII before it stays.
    const std::string out = gbkToUtf8("ab\x81");
    EXPECT_EQ(out.substr(0, 2), "ab");
    EXPECT_GT(out.size(), 2u);
}

// Code page 936 puts the euro sign at the single byte 0x80; both directions must agree.
TEST(Codepage, EuroSignSurvivesTheRoundTrip)
{
    EXPECT_EQ(utf8ToGbk("\xE2\x82\xAC/"), "\x80/");
    EXPECT_EQ(gbkToUtf8("\x80/"), "\xE2\x82\xAC/");
}

// File names are UTF-8 on disk; the message that names one is GBK like every message.
TEST(FileErrorText, NamesThePathInGbk)
{
    EXPECT_EQ(FileErrorText("Cannot create file", "/tmp/\xE4\xB8\xAD.mp3", ENOENT),
              "Cannot create file \"/tmp/\xD6\xD0.mp3\". No such file or directory");
}
