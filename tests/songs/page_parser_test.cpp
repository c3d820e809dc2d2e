// The search page and hot list turned into records.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "songs/page_parser.h"

namespace quavrel {
namespace {

std::vector<TMedia> searchRecords(const std::string& page)
{
    std::vector<TMedia> out;
    size_t n = ParseSearchPage(page, [&](const MediaPtr& m) { out.push_back(*m); });
    EXPECT_EQ(n, out.size());
    return out;
}

std::vector<TMedia> hotRecords(const std::string& page)
{
    std::vector<TMedia> out;
    size_t n = ParseHotList(page, [&](const MediaPtr& m) { out.push_back(*m); });
    EXPECT_EQ(n, out.size());
    return out;
}

std::string entry(const std::string& url, const std::string& title, const std::string& singer,
                  const std::string& album)
{
    return "<tr><td class=p14><a href='" + url + "' target=_blank>" + title +
           "</a></td><td><a href=\"/s?singer=" + singer + "\">x</a></td><td><a href=\"/a?keyword=" + album +
           "\">y</a></td></tr>\r\n";
}

// ---- Search page ----

TEST(ParseSearchPage, EntriesInPageOrder)
{
    auto records = searchRecords("<html>" + entry("http://h/1.mp3", "One", "S1", "A1") +
                                 entry("http://h/2.mp3", "Two", "S2", "A2") + "</html>");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].Url, "http://h/1.mp3");
    EXPECT_EQ(records[0].Title, "One");
    EXPECT_EQ(records[0].Singer, "S1");
    EXPECT_EQ(records[0].Album, "A1");
    EXPECT_EQ(records[0].FileType, "mp3");
    EXPECT_EQ(records[0].Speed, 0);
    EXPECT_EQ(records[0].Size, 0);
    EXPECT_EQ(records[1].Title, "Two");
}

TEST(ParseSearchPage, FieldsAcrossLineBreaks)
{
    auto records = searchRecords("class=p14\r\n<a\nhref='u.mp3'\r\n>\r\nT\r\n</a>\nsinger=\r\nS\n\"\r\n"
                                 "keyword=A\r\n\"");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Url, "u.mp3");
    EXPECT_EQ(records[0].Title, "T");
    EXPECT_EQ(records[0].Singer, "S");
    EXPECT_EQ(records[0].Album, "A");
}

// The title group starts after the first ">" following the address; a bold tag right
// there makes the group "<b>" text up to the next "<", and tag stripping cleans it.
TEST(ParseSearchPage, TagsAroundTitleAreStripped)
{
    auto records = searchRecords("class=p14 href='u'><b>Bold</b></a> singer=s\" keyword=k\"");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Title, "Bold");
    auto wrapped = searchRecords(entry("u", "<b> Song </b>", "<i>S</i>", "A"));
    ASSERT_EQ(wrapped.size(), 1u);
    EXPECT_EQ(wrapped[0].Title, "Song");
}

TEST(ParseSearchPage, BlanksAroundAddressKeptInUrl)
{
    auto records = searchRecords(entry("  http://h/a b.mp3 ", " T ", " S ", " A "));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Url, "  http://h/a b.mp3 ");
    EXPECT_EQ(records[0].Title, "T");
    EXPECT_EQ(records[0].Singer, "S");
    EXPECT_EQ(records[0].Album, "A");
}

TEST(ParseSearchPage, GbkFieldsKeptByteForByte)
{
    // 0xB8 0x7C style characters carry ASCII second bytes; they stay inside the field.
    auto records = searchRecords(entry("http://h/\xB8\xE8.mp3", "\xB8\xE8\xC7\xFA", "\xD5\xC5\x7C",
                                       "\x81\x40\xA1\xA1"));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Url, "http://h/\xB8\xE8.mp3");
    EXPECT_EQ(records[0].Title, "\xB8\xE8\xC7\xFA");
    EXPECT_EQ(records[0].Singer, "\xD5\xC5\x7C");
    EXPECT_EQ(records[0].Album, "\x81\x40\xA1\xA1");
}

TEST(ParseSearchPage, NulHidesLaterEntries)
{
    std::string page = entry("u1", "T1", "S1", "A1") + std::string(1, '\0') + entry("u2", "T2", "S2", "A2");
    auto records = searchRecords(page);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Url, "u1");
}

TEST(ParseSearchPage, NoEntryNoRecord)
{
    EXPECT_TRUE(searchRecords("").empty());
    EXPECT_TRUE(searchRecords("<html>class=p14 href='u'>t<</html>").empty());
}

// A callback that throws ends the parse at that entry.
TEST(ParseSearchPage, ThrowingCallbackStopsTheParse)
{
    int calls = 0;
    std::string page = entry("u1", "T1", "S1", "A1") + entry("u2", "T2", "S2", "A2");
    EXPECT_THROW(ParseSearchPage(page,
                                 [&](const MediaPtr&) {
                                     ++calls;
                                     throw std::runtime_error("no thread");
                                 }),
                 std::runtime_error);
    EXPECT_EQ(calls, 1);
}

// ---- Hot list ----

TEST(ParseHotList, TwoRecords)
{
    auto records = hotRecords("#A||u1||S||B#<br>\r\n#C||u2||T||D#<br>");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].Title, "A");
    EXPECT_EQ(records[0].Url, "u1");
    EXPECT_EQ(records[0].Singer, "S");
    EXPECT_EQ(records[0].Album, "B");
    EXPECT_EQ(records[0].FileType, "mp3");
    EXPECT_EQ(records[1].Title, "C");
    EXPECT_EQ(records[1].Url, "u2");
}

TEST(ParseHotList, BoldTitleStrippedUrlUntouched)
{
    auto records = hotRecords("#<b> Title </b>|| <u> ||S||B#<br>");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Title, "Title");
    EXPECT_EQ(records[0].Url, " <u> ");
}

TEST(ParseHotList, EmptyFieldsAllowed)
{
    auto records = hotRecords("#A||u||||B#<br>");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Singer, "");
    EXPECT_EQ(records[0].Album, "B");
    auto emptyUrl = hotRecords("#A||||S||B#<br>");
    ASSERT_EQ(emptyUrl.size(), 1u);
    EXPECT_EQ(emptyUrl[0].Url, "");
}

TEST(ParseHotList, UpperCaseBrNotMatched)
{
    EXPECT_TRUE(hotRecords("#A||u||S||B#<BR>").empty());
    // The next lower-case ending closes a record that started at the first "#".
    auto records = hotRecords("#A||u||S||B#<BR>\r\n#C||u2||T||D#<br>");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Title, "A");
}

// A stray "#" starts the record early: its text up to "||" is the title.
TEST(ParseHotList, StrayHashStartsRecordEarly)
{
    auto records = hotRecords("news #1 today\r\n#A||u1||S||B#<br>");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Title, "1 today\r\n#A");
    EXPECT_EQ(records[0].Url, "u1");
}

TEST(ParseHotList, FieldsAcrossLinesAndGbkSecondBytePipe)
{
    // 0xB0 0x7C: the "|" of a double-byte character still counts as a separator byte.
    auto records = hotRecords("#T\r\n||u\n||\xB0|||B#<br>");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Title, "T");
    EXPECT_EQ(records[0].Url, "u\n");
    EXPECT_EQ(records[0].Singer, "\xB0");
    EXPECT_EQ(records[0].Album, "|B");
}

}  // namespace
}  // namespace quavrel
