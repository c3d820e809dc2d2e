// The play-list model: no two rows with one Url, the row index it answers, deletes that
// keep the Url index right, and row captions.
#include "media/playlist.h"

#include <gtest/gtest.h>

namespace quavrel {
namespace {

MediaPtr song(const std::string& title, const std::string& url)
{
    MediaPtr m = NewMedia();
    m->Title = title;
    m->Url = url;
    return m;
}

// ---- adding ----

TEST(PlayListAdd, AppendsAndReturnsTheNewRow)
{
    PlayList list;
    EXPECT_EQ(list.add(song("a", "http://a/1")).row, 0);
    auto result = list.add(song("b", "http://a/2"));
    EXPECT_EQ(result.row, 1);
    EXPECT_TRUE(result.added);
    EXPECT_EQ(list.size(), 2);
}

TEST(PlayListAdd, SameUrlKeepsTheExistingRowAndRecord)
{
    PlayList list;
    MediaPtr first = song("first", "http://a/1");
    list.add(first);
    list.add(song("b", "http://a/2"));
    auto result = list.add(song("other title", "http://a/1"));
    EXPECT_EQ(result.row, 0);
    EXPECT_FALSE(result.added);
    EXPECT_EQ(list.size(), 2);
    EXPECT_EQ(list.at(0), first);
    EXPECT_EQ(list.at(0)->Title, "first");
}

TEST(PlayListAdd, SameRecordTwiceGivesOneRow)
{
    PlayList list;
    MediaPtr m = song("a", "http://a/1");
    list.add(m);
    list.add(m);
    EXPECT_EQ(list.size(), 1);
}

TEST(PlayListAdd, UrlsDifferingInCaseOrBytesAreDifferentSongs)
{
    PlayList list;
    list.add(song("a", "http://a/Song.mp3"));
    list.add(song("a", "http://a/song.mp3"));
    list.add(song("a", "http://a/song.mp3 "));
    list.add(song("a", std::string("http://a/\0x", 11)));
    list.add(song("a", std::string("http://a/\0y", 11)));
    EXPECT_EQ(list.size(), 5);
}

TEST(PlayListAdd, ManyDuplicatesStayOneRowEach)
{
    PlayList list;
    for (int i = 0; i < 5000; ++i)
        list.add(song("t", "http://a/" + std::to_string(i % 1000)));
    EXPECT_EQ(list.size(), 1000);
    EXPECT_EQ(list.indexOf("http://a/999"), 999);
    EXPECT_EQ(list.indexOf("http://a/1000"), -1);
}

// ---- removing ----

TEST(PlayListRemove, MiddleRowMovesLaterRowsUpAndKeepsLookupsRight)
{
    PlayList list;
    for (int i = 1; i <= 3; ++i)
        list.add(song(std::to_string(i), "http://a/" + std::to_string(i)));
    list.removeRows({1});
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list.at(1)->Title, "3");
    EXPECT_EQ(list.indexOf("http://a/3"), 1);
    EXPECT_EQ(list.indexOf("http://a/2"), -1);
    // The removed song can come back, as a new last row.
    EXPECT_EQ(list.add(song("2", "http://a/2")).row, 2);
}

TEST(PlayListRemove, SeveralRowsInAnyOrder)
{
    PlayList list;
    for (int i = 0; i < 6; ++i)
        list.add(song(std::to_string(i), "u" + std::to_string(i)));
    list.removeRows({4, 0, 2, 4, 99, -1});
    ASSERT_EQ(list.size(), 3);
    EXPECT_EQ(list.at(0)->Title, "1");
    EXPECT_EQ(list.at(1)->Title, "3");
    EXPECT_EQ(list.at(2)->Title, "5");
    EXPECT_EQ(list.indexOf("u5"), 2);
}

TEST(PlayListRemove, NothingSelectedChangesNothing)
{
    PlayList list;
    list.add(song("a", "u"));
    list.removeRows({});
    EXPECT_EQ(list.size(), 1);
}

TEST(PlayListRemove, ClearForgetsEveryUrl)
{
    PlayList list;
    list.add(song("a", "u"));
    list.clear();
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.indexOf("u"), -1);
    EXPECT_TRUE(list.add(song("a", "u")).added);
}

// ---- captions ----

TEST(PlayListCaption, NumberFullStopTabTitle)
{
    EXPECT_EQ(PlayList::caption(2, *song("abc", "u")), "3.\tabc");
    EXPECT_EQ(PlayList::caption(9, *song("", "u")), "10.\t");
    EXPECT_EQ(PlayList::caption(0, *song("\xD6\xD0", "u")), "1.\t\xD6\xD0");
}

}  // namespace
}  // namespace quavrel
