// DoSearch, paging through NextItem, the search worker and the shared client, against
// servers of the test's own on 127.0.0.1.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "songs/song_search.h"
#include "tests/support/scripted_server.h"

namespace quavrel {
namespace {

using namespace std::chrono_literals;
using test::HttpResponseText;
using test::Script;
using test::ScriptedServer;

const std::string kClose = "Connection: close\r\n";
// The answer of a reachable song to its probe.
const std::string kSongHead = "HTTP/1.1 200 OK\r\nContent-Length: 4096\r\nConnection: close\r\n\r\n";

std::string hostOf(const ScriptedServer& server) { return "127.0.0.1:" + std::to_string(server.port()); }

// A port where nothing listens (a server that has been stopped).
int deadPort()
{
    ScriptedServer gone;
    int port = gone.port();
    gone.stop();
    return port;
}

std::string entry(const std::string& url, int n)
{
    std::string s = std::to_string(n);
    return "<tr><td class=p14><a href='" + url + "'>Song " + s + "</a></td><td><a href=\"/s?singer=Singer " + s +
           "\">x</a> <a href=\"/a?keyword=Album " + s + "\">y</a></td></tr>\r\n";
}

struct Listing {
    std::mutex mutex;
    std::vector<MediaPtr> rows;
    std::shared_ptr<ResultHandover> gate = ResultHandover::create([this](const MediaPtr& m) {
        std::lock_guard<std::mutex> lock(mutex);
        rows.push_back(m);
    });
    size_t count()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return rows.size();
    }
};

class SearchTest : public ::testing::Test {
protected:
    void TearDown() override { ASSERT_TRUE(WaitForProbes(60s)); }

    ListingTarget target(const ScriptedServer& server)
    {
        return ListingTarget{client_, listing_.gate, hostOf(server), 5s};
    }

    std::shared_ptr<SharedHttpClient> client_ = std::make_shared<SharedHttpClient>();
    Listing listing_;
    std::atomic<int32_t> NextItem{1};
};

// ---- The request ----

TEST_F(SearchTest, RequestCarriesEncodedKeywordAndNextItem)
{
    ScriptedServer server;
    server.add(Script().answer(HttpResponseText("", "HTTP/1.1 200 OK", kClose)));
    EXPECT_EQ(DoSearch(" abc ", NextItem, target(server)), 0u);
    EXPECT_EQ(server.request(0).rfind("GET /searchmp3?type=5&keyword=+abc+&items=1 HTTP/1.1\r\n", 0), 0u)
        << server.request(0);
}

TEST_F(SearchTest, ChineseKeywordIsPercentEncodedPerByte)
{
    EXPECT_EQ(SearchUrl("h:1", "\xD5\xC5 a+b", 7), "http://h:1/searchmp3?type=5&keyword=%D5%C5+a%2Bb&items=7");
    EXPECT_EQ(SearchUrl("h", "x", -3), "http://h/searchmp3?type=5&keyword=x&items=-3");
}

TEST_F(SearchTest, EmptyKeywordSendsNothing)
{
    ScriptedServer server;
    EXPECT_EQ(DoSearch("", NextItem, target(server)), 0u);
    server.stop();
    EXPECT_EQ(server.connections(), 0);
    EXPECT_EQ(NextItem.load(), 1);
}

// ---- Paging ----

// Twenty entries of which twelve answer their probe: all twenty count, so the next page
// asks for items=21, and its rows come after the twelve.
TEST_F(SearchTest, EveryMatchCountsWhetherListedOrNot)
{
    ScriptedServer songs;
    for (int i = 0; i < 12; ++i)
        songs.add(Script().answer(kSongHead));
    std::string dead = "http://127.0.0.1:" + std::to_string(deadPort()) + "/gone.mp3";
    std::string page = "<html>";
    for (int i = 0; i < 20; ++i)
        page += entry(i % 5 < 3 ? songs.url("/s" + std::to_string(i) + ".mp3") : dead, i);
    ScriptedServer search;
    search.add(Script().answer(HttpResponseText(page, "HTTP/1.1 200 OK", kClose)));
    search.add(Script().answer(HttpResponseText(entry(songs.url("/late.mp3"), 99), "HTTP/1.1 200 OK", kClose)));
    songs.add(Script().answer(kSongHead));

    EXPECT_EQ(DoSearch("ab", NextItem, target(search)), 20u);
    EXPECT_EQ(NextItem.load(), 21);
    ASSERT_TRUE(WaitForProbes(60s));
    EXPECT_EQ(listing_.count(), 12u);

    EXPECT_EQ(DoSearch("ab", NextItem, target(search)), 1u);
    EXPECT_EQ(search.request(1).rfind("GET /searchmp3?type=5&keyword=ab&items=21 ", 0), 0u) << search.request(1);
    EXPECT_EQ(NextItem.load(), 22);
    ASSERT_TRUE(WaitForProbes(60s));
    ASSERT_EQ(listing_.count(), 13u);
    EXPECT_EQ(listing_.rows.back()->Title, "Song 99");
    EXPECT_EQ(listing_.rows.back()->Singer, "Singer 99");
    EXPECT_EQ(listing_.rows.back()->Album, "Album 99");
    EXPECT_EQ(listing_.rows.back()->Size, 4096);
}

TEST_F(SearchTest, PageWithoutMatchLeavesNextItem)
{
    ScriptedServer search;
    search.add(Script().answer(HttpResponseText("<html>nothing</html>", "HTTP/1.1 200 OK", kClose)));
    search.add(Script().answer(HttpResponseText("<html>nothing</html>", "HTTP/1.1 200 OK", kClose)));
    NextItem = 41;
    EXPECT_EQ(DoSearch("k", NextItem, target(search)), 0u);
    EXPECT_EQ(DoSearch("k", NextItem, target(search)), 0u);
    EXPECT_EQ(NextItem.load(), 41);
    EXPECT_NE(search.request(0).find("&items=41 "), std::string::npos);
    EXPECT_NE(search.request(1).find("&items=41 "), std::string::npos);
}

TEST_F(SearchTest, FailedRequestCountsAsEmptyPage)
{
    ScriptedServer search;
    search.add(Script().answer(HttpResponseText(entry("http://x/1.mp3", 1), "HTTP/1.1 404 Not Found", kClose)));
    EXPECT_EQ(DoSearch("k", NextItem, target(search)), 0u);
    EXPECT_EQ(NextItem.load(), 1);
    ListingTarget unreachable = target(search);
    unreachable.server = "127.0.0.1:" + std::to_string(deadPort());
    EXPECT_EQ(DoSearch("k", NextItem, unreachable), 0u);
    EXPECT_EQ(NextItem.load(), 1);
}

// Once the window has closed the gate, a late page touches NextItem no more.
TEST_F(SearchTest, ClosedGateStopsTheSearch)
{
    ScriptedServer search;
    listing_.gate->close();
    EXPECT_EQ(DoSearch("k", NextItem, target(search)), 0u);
    search.stop();
    EXPECT_EQ(search.connections(), 0);
    EXPECT_EQ(NextItem.load(), 1);
}

// Each fetched page is a probe page of its own: when a probe of the first page ends, the
// next page's song is probed before the first page's waiting entries.
TEST_F(SearchTest, NextPageIsProbedBeforeTheFirstPagesQueue)
{
    ScriptedServer songs, search;
    std::string first = "<html>";
    for (int i = 0; i <= kMaxProbes; ++i)
        first += entry(songs.url("/s" + std::to_string(i) + ".mp3"), i);
    // Scripts go to connections in the order they are accepted: one of the first page's
    // running probes ends after a while, the 33rd connection must be the next page's.
    for (int i = 0; i < kMaxProbes - 1; ++i)
        songs.add(Script().read().hold());
    songs.add(Script().read().pause(3000).close());
    songs.add(Script().answer(kSongHead));
    search.add(Script().answer(HttpResponseText(first, "HTTP/1.1 200 OK", kClose)));
    search.add(Script().answer(HttpResponseText(entry(songs.url("/next.mp3"), 99), "HTTP/1.1 200 OK", kClose)));
    ListingTarget patient = target(search);
    patient.probeLimit = 60s;

    EXPECT_EQ(DoSearch("k", NextItem, patient), static_cast<size_t>(kMaxProbes + 1));
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (songs.requests().size() < static_cast<size_t>(kMaxProbes) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    EXPECT_EQ(DoSearch("k", NextItem, patient), 1u);
    while (listing_.count() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    EXPECT_EQ(listing_.count(), 1u);
    EXPECT_EQ(songs.request(kMaxProbes).rfind("HEAD /next.mp3 ", 0), 0u) << songs.request(kMaxProbes);
    songs.stop();   // ends the held probes
}

// ---- Search worker ----

TEST(TSearchThread, RunsOnSearchWithTheKeywordOnAnotherThread)
{
    std::promise<std::pair<std::string, std::thread::id>> seen;
    TSearchThread worker;
    worker.Keyword = " k ";
    worker.OnSearch = [&](const std::string& keyword) { seen.set_value({keyword, std::this_thread::get_id()}); };
    worker.Start();
    auto future = seen.get_future();
    ASSERT_EQ(future.wait_for(20s), std::future_status::ready);
    auto [keyword, id] = future.get();
    EXPECT_EQ(keyword, " k ");
    EXPECT_NE(id, std::this_thread::get_id());
}

TEST(TSearchThread, ExceptionEndsTheWorkerQuietly)
{
    std::promise<void> thrown;
    TSearchThread worker;
    worker.Keyword = "k";
    worker.OnSearch = [&](const std::string&) {
        thrown.set_value();
        throw std::runtime_error("no thread");
    };
    worker.Start();
    EXPECT_EQ(thrown.get_future().wait_for(20s), std::future_status::ready);
}

// ---- Shared client ----

// While one request holds the shared client, a second one goes out on a fresh client at
// once instead of waiting for the first.
TEST(SharedHttpClient, BusyClientFallsBackToFreshOne)
{
    ScriptedServer server;
    server.add(Script().read().hold());
    server.add(Script().answer(HttpResponseText("second", "HTTP/1.1 200 OK", kClose)));
    auto client = std::make_shared<SharedHttpClient>();
    std::thread first([&] { EXPECT_ANY_THROW(client->GetText(server.url("/first"))); });
    while (server.requests().empty())
        std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(client->busy());
    EXPECT_EQ(client->GetText(server.url("/second")), "second");
    EXPECT_EQ(server.connections(), 2);
    server.stop();   // ends the held request
    first.join();
    EXPECT_FALSE(client->busy());
}

TEST(SharedHttpClient, FreeClientIsReused)
{
    ScriptedServer server;
    server.add(Script().answer(HttpResponseText("a")).answer(HttpResponseText("b")));
    SharedHttpClient client;
    EXPECT_EQ(client.GetText(server.url("/1")), "a");
    EXPECT_FALSE(client.busy());
    EXPECT_EQ(client.GetText(server.url("/2")), "b");
    EXPECT_EQ(server.connections(), 1);   // one kept-open connection served both
}

}  // namespace
}  // namespace quavrel
