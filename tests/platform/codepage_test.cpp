#include "platform/codepage.h"
#include "platform/atomic_file.h"
#include "platform/bytes.h"

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

// Both systems' conversions give one replacement per broken or unencodable character,
// whatever the bytes around it.
TEST(Codepage, OneReplacementPerBrokenCharacter)
{
    EXPECT_EQ(gbkToUtf8("\x81 a"), "\xEF\xBF\xBD a");            // a lead byte without its trail
    EXPECT_EQ(gbkToUtf8("a\xFF" "b"), "a\xEF\xBF\xBD" "b");         // a byte no character starts with
    EXPECT_EQ(utf8ToGbk("a\xE4\x41\x42" "b"), "a?b");              // a broken three-byte sequence
    EXPECT_EQ(utf8ToGbk("\xED\xA0\x80!"), "?!");                   // a lone surrogate
    EXPECT_EQ(utf8ToGbk("\xC3\x80\xE4\xB8\xAD"), "?\xD6\xD0");     // "À" has no GBK form; never a look-alike "A"
}

// Code page 936 puts the euro sign at the single byte 0x80; both directions must agree.
TEST(Codepage, EuroSignSurvivesTheRoundTrip)
{
    EXPECT_EQ(utf8ToGbk("\xE2\x82\xAC/"), "\x80/");
    EXPECT_EQ(gbkToUtf8("\x80/"), "\xE2\x82\xAC/");
}

// File names are UTF-8 on disk; the message that names one is GBK like every message.
// Error number 2 is a missing file on both systems (ENOENT, ERROR_FILE_NOT_FOUND).
TEST(FileErrorText, NamesThePathInGbk)
{
    const std::string reason = SystemErrorText(2);
    EXPECT_EQ(FileErrorText("Cannot create file", "/tmp/\xE4\xB8\xAD.mp3", 2),
              "Cannot create file \"/tmp/\xD6\xD0.mp3\". " + reason);
    EXPECT_NE(LowerAscii(reason).find("file"), std::string::npos) << reason;
    EXPECT_EQ(reason.find_first_of("\r\n"), std::string::npos);
}
