// UTF-8 and the UTF-16 of Windows system calls: what a file name from the system holds must
// name the same file when it goes back, and nothing the system hands over may break the
// conversion.
#include "platform/utf16.h"

#include <gtest/gtest.h>

using namespace quavrel;

namespace {

// "中文" and U+1F600 (an emoji, a surrogate pair in UTF-16).
const std::string kChinese = "\xE4\xB8\xAD\xE6\x96\x87";
const std::string kEmoji = "\xF0\x9F\x98\x80";

}  // namespace

// Valid text

TEST(Utf16, ChineseAndPairsRoundTrip)
{
    const std::u16string wide = Utf8ToUtf16("a" + kChinese + kEmoji);
    EXPECT_EQ(wide, (std::u16string{u'a', 0x4E2D, 0x6587, 0xD83D, 0xDE00}));
    EXPECT_EQ(Utf16ToUtf8(wide), "a" + kChinese + kEmoji);
}

// What the system may hand over

// Windows file names may hold a lone surrogate: it survives the trip to UTF-8 and back, so
// the name still opens the file.
TEST(Utf16, LoneSurrogatesSurviveTheRoundTrip)
{
    const std::u16string names[] = {{u'x', 0xD800}, {0xDC00, u'y'}, {0xDBFF, 0xDBFF}, {0xDFFF}};
    for (const std::u16string& name : names)
        EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(name)), name);
    EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD800}), "\xED\xA0\x80");
}

TEST(Utf16, EmptyTextStaysEmpty)
{
    EXPECT_EQ(Utf16ToUtf8(u""), "");
    EXPECT_EQ(Utf8ToUtf16(""), u"");
}

// Broken UTF-8

TEST(Utf16, BrokenUtf8BecomesReplacementCharacters)
{
    // A stray continuation byte, an overlong "/", a truncated sequence at the end, and a
    // code point beyond U+10FFFF.
    EXPECT_EQ(Utf8ToUtf16("a\x80" "b"), (std::u16string{u'a', 0xFFFD, u'b'}));
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), (std::u16string{0xFFFD}));
    EXPECT_EQ(Utf8ToUtf16("a\xE4\xB8"), (std::u16string{u'a', 0xFFFD}));
    EXPECT_EQ(Utf8ToUtf16("\xF4\x90\x80\x80"), (std::u16string{0xFFFD}));
}

// A broken sequence skips as many bytes as its first byte announces, as the conversion to
// GBK skips it, so both count one replacement per broken character.
TEST(Utf16, BrokenSequenceSkipsWhatItsFirstByteAnnounces)
{
    const Utf8Char broken = DecodeUtf8("\xE4\x41\x42\x43", 0);
    EXPECT_EQ(broken.codePoint, kInvalidUtf8);
    EXPECT_EQ(broken.length, 3u);
    EXPECT_EQ(DecodeUtf8("\xF0\x9F", 0).length, 2u);
}
