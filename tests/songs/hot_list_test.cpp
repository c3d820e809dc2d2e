// The hot list against a maker's server of the test's own on 127.0.0.1.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "songs/hot_list.h"
#include "songs/services.h"
#include "tests/support/scripted_server.h"

namespace quavrel {
namespace {

using namespace std::chrono_literals;
using test::HttpResponseText;
using test::Script;
using test::ScriptedServer;

const std::string kClose = "Connection: close\r\n";
const std::string kSongHead = "HTTP/1.1 200 OK\r\nContent-Length: 2048\r\nConnection: close\r\n\r\n";

class HotListTest : public ::testing::Test {
protected:
    void TearDown() override { ASSERT_TRUE(WaitForProbes(60s)); }

    ListingTarget target(const ScriptedServer& server)
    {
        return ListingTarget{std::make_shared<SharedHttpClient>(), gate_,
                             server.host() + ":" + std::to_string(server.port()), 5s};
    }
    std::vector<std::string> titles()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<std::string> out;
        for (const auto& m : rows_)
            out.push_back(m->Title);
        std::sort(out.begin(), out.end());
        return out;
    }

    std::mutex mutex_;
    std::vector<MediaPtr> rows_;
    std::shared_ptr<ResultHandover> gate_ = ResultHandover::create([this](const MediaPtr& m) {
        std::lock_guard<std::mutex> lock(mutex_);
        rows_.push_back(m);
    });
    std::atomic<int32_t> NextItem{5};
};

// ---- Status texts ----

TEST(HotListTexts, ExactBytes)
{
    EXPECT_STREQ(kHotListOpeningText, "\xD5\xFD\xD4\xDA\xB4\xF2\xBF\xAA\xCD\xF8\xD3\xD1\xCD\xC6\xBC\xF6\xB8\xE8\xC7\xFA"
                                      "\xA1\xAD\xA1\xAD");
    EXPECT_EQ(HotListStatusText(HotListResult::Done),
              "\xCB\xD1\xCB\xF7\xCD\xEA\xB3\xC9\xA3\xAC\xCB\xAB\xBB\xF7\xB8\xE8\xC7\xFA\xCA\xD5\xCC\xFD\xA3\xA1");
    EXPECT_EQ(HotListStatusText(HotListResult::NetworkFailure),
              "\xCD\xF8\xC2\xE7\xB9\xCA\xD5\xCF\xA3\xAC\xC8\xE7\xB9\xFB\xD2\xBB\xD6\xB1\xB3\xF6\xCF\xD6\xA3\xAC"
              "\xC7\xEB\xC1\xAA\xCF\xB5\xD7\xF7\xD5\xDF\xA3\xBA" +
                  services().supportMail);
}

// ---- Fetch and dispatch ----

TEST_F(HotListTest, TwoRecordsListedAndCounted)
{
    ScriptedServer songs;
    songs.add(Script().answer(kSongHead));
    songs.add(Script().answer(kSongHead));
    ScriptedServer maker;
    maker.add(Script().answer(HttpResponseText("#A||" + songs.url("/1.mp3") + "||S||B#<br>\r\n#<b>C</b>||" +
                                                   songs.url("/2.mp3") + "||T||D#<br>\r\n",
                                               "HTTP/1.1 200 OK", kClose)));
    EXPECT_EQ(FetchHotList(NextItem, target(maker)), HotListResult::Done);
    EXPECT_EQ(maker.request(0).rfind("GET /hotlist.asp HTTP/1.1\r\n", 0), 0u) << maker.request(0);
    EXPECT_EQ(NextItem.load(), 7);
    ASSERT_TRUE(WaitForProbes(60s));
    EXPECT_EQ(titles(), (std::vector<std::string>{"A", "C"}));
}

TEST_F(HotListTest, AnswerWithoutRecordIsStillDone)
{
    ScriptedServer maker;
    maker.add(Script().answer(HttpResponseText("#A||u||S||B#<BR>", "HTTP/1.1 200 OK", kClose)));
    EXPECT_EQ(FetchHotList(NextItem, target(maker)), HotListResult::Done);
    EXPECT_EQ(NextItem.load(), 5);
}

TEST_F(HotListTest, EmptyAnswerIsNetworkFailure)
{
    ScriptedServer maker;
    maker.add(Script().answer(HttpResponseText("", "HTTP/1.1 200 OK", kClose)));
    EXPECT_EQ(FetchHotList(NextItem, target(maker)), HotListResult::NetworkFailure);
}

TEST_F(HotListTest, FailedRequestIsNetworkFailure)
{
    ScriptedServer maker;
    maker.add(Script().answer(HttpResponseText("#A||u||S||B#<br>", "HTTP/1.1 500 Internal Server Error", kClose)));
    EXPECT_EQ(FetchHotList(NextItem, target(maker)), HotListResult::NetworkFailure);
    EXPECT_EQ(NextItem.load(), 5);
}

// A record without an address counts but never reaches the list.
TEST_F(HotListTest, EmptyAddressCountsButIsNotListed)
{
    ScriptedServer maker;
    maker.add(Script().answer(HttpResponseText("#A||||S||B#<br>", "HTTP/1.1 200 OK", kClose)));
    EXPECT_EQ(FetchHotList(NextItem, target(maker)), HotListResult::Done);
    EXPECT_EQ(NextItem.load(), 6);
    ASSERT_TRUE(WaitForProbes(60s));
    EXPECT_TRUE(titles().empty());
}

// A service address may be an IPv6 address in brackets, and so may a song's address.
TEST_F(HotListTest, MakerAndSongsAtBracketedIpv6Addresses)
{
    ScriptedServer songs(0, test::Loopback::kIpv6);
    songs.add(Script().answer(kSongHead));
    ScriptedServer maker(0, test::Loopback::kIpv6);
    maker.add(Script().answer(HttpResponseText("#A||" + songs.url("/1.mp3") + "||S||B#<br>\r\n", "HTTP/1.1 200 OK", kClose)));
    EXPECT_EQ(FetchHotList(NextItem, target(maker)), HotListResult::Done);
    EXPECT_NE(maker.request(0).find("\r\nHost: [::1]:" + std::to_string(maker.port()) + "\r\n"), std::string::npos)
        << maker.request(0);
    ASSERT_TRUE(WaitForProbes(60s));
    EXPECT_EQ(titles(), std::vector<std::string>{"A"});
    EXPECT_EQ(songs.request(0).rfind("HEAD /1.mp3 HTTP/1.1\r\n", 0), 0u) << songs.request(0);
}

}  // namespace
}  // namespace quavrel
