#include "http/cookies.h"

#include <gtest/gtest.h>

#include <thread>

#include "http/http_date.h"
#include "http/http_errors.h"

using namespace quavrel;
using Clock = std::chrono::system_clock;

namespace {
// 2020-01-01 00:00:00 GMT
const Clock::time_point kNow = Clock::time_point(std::chrono::seconds(1577836800));
}

// Parsing one Set-cookie value
TEST(ParseSetCookieTest, ReadsNameValueAndAttributes)
{
    Cookie c = ParseSetCookie("SID=a=b; path=\"/x\"; Domain=.h.com; secure; Max-Age=5; Version=1; Comment=hi",
                              "www.h.com", false, kNow);
    EXPECT_EQ(c.name, "SID");
    EXPECT_EQ(c.value, "a=b");
    EXPECT_EQ(c.path, "/x");
    EXPECT_EQ(c.domain, ".h.com");
    EXPECT_TRUE(c.secure);
    EXPECT_EQ(c.version, "1");
    EXPECT_EQ(c.comment, "hi");
    ASSERT_TRUE(c.expiry.has_value());
    EXPECT_EQ(*c.expiry, kNow + std::chrono::seconds(5));
}

TEST(ParseSetCookieTest, MissingDomainIsTheHostAndExpiresWinsOverMaxAge)
{
    Cookie c = ParseSetCookie("a=1; expires=Wed, 01 Jan 2020 00:00:10 GMT; max-age=100", "h.com", false, kNow);
    EXPECT_EQ(c.domain, "h.com");
    EXPECT_FALSE(c.expiry.has_value());
    ASSERT_TRUE(c.expires.has_value());
    EXPECT_EQ(*c.expires, "Wed, 01 Jan 2020 00:00:10 GMT");
}

TEST(ParseSetCookieTest, Cookie2PortListEntriesMustBeIntegers)
{
    EXPECT_NO_THROW(ParseSetCookie("a=1; Port=\"80,8080\"", "h", true, kNow));
    EXPECT_NO_THROW(ParseSetCookie("a=1; Port=\"80,x\"", "h", false, kNow));   // only Set-cookie2 checks
    try {
        ParseSetCookie("a=1; Port=\"80,8o\"", "h", true, kNow);
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.message(), "'8o' is not a valid integer value");
    }
}

// Dates
TEST(CookieDateTest, ReadsTheUsualFormats)
{
    const int64_t expected = 784111777;   // 1994-11-06 08:49:37 GMT
    EXPECT_EQ(ParseCookieDate("Sun, 06 Nov 1994 08:49:37 GMT"), expected);
    EXPECT_EQ(ParseCookieDate("Sunday, 06-Nov-94 08:49:37 GMT"), expected);
    EXPECT_EQ(ParseCookieDate("Sun Nov  6 08:49:37 1994"), expected);
    EXPECT_EQ(ParseCookieDate("Sun, 06-Nov-1994 08:49:37 GMT"), expected);
    EXPECT_EQ(ParseCookieDate("Thu, 01 Jan 2037 00:00:00 GMT"), 2114380800);
}

TEST(CookieDateTest, RejectsTextsThatAreNoDates)
{
    for (const char* text : {"", "tomorrow", "Sun, 31 Feb 2020 00:00:00 GMT", "06 Nov 1994", "Sun, 06 Xyz 1994 08:49:37",
                             "Sun, 06 Nov 1994 25:00:00 GMT"})
        EXPECT_FALSE(ParseCookieDate(text).has_value()) << text;
}

// Acceptance of a cookie's domain
TEST(CookieAcceptanceTest, DomainRules)
{
    EXPECT_TRUE(CookieDomainAccepted("www.h.com", "www.h.com"));
    EXPECT_TRUE(CookieDomainAccepted(".h.com", "www.h.com"));
    EXPECT_FALSE(CookieDomainAccepted(".h.com", "a.www.h.com"));   // only from the host's first dot on
    EXPECT_FALSE(CookieDomainAccepted(".other.com", "www.h.com"));
    EXPECT_FALSE(CookieDomainAccepted("h.com", "www.h.com"));
    EXPECT_FALSE(CookieDomainAccepted("WWW.H.COM", "www.h.com"));  // case-sensitive
    EXPECT_TRUE(CookieDomainAccepted("10.0.0.1", "10.0.0.1"));
    EXPECT_FALSE(CookieDomainAccepted(".0.0.1", "10.0.0.1"));
}

// Matching hosts when sending: the domain must be the host or a parent of it.
TEST(CookieMatchTest, OnlyTheHostAndItsSubdomains)
{
    EXPECT_TRUE(CookieDomainMatches("example.com", "example.com"));
    EXPECT_TRUE(CookieDomainMatches("example.com", "EXAMPLE.com"));
    EXPECT_TRUE(CookieDomainMatches("example.com", "www.example.com"));
    EXPECT_TRUE(CookieDomainMatches(".example.com", "www.example.com"));
    EXPECT_FALSE(CookieDomainMatches("example.com", "example.com.evil.net"));
    EXPECT_FALSE(CookieDomainMatches("example.com", "badexample.com"));
    EXPECT_FALSE(CookieDomainMatches(".example.com", "xexample.com"));
}

// The store: storing, replacing, ordering, expiry
TEST(CookieManagerTest, PathSlashCookieGoesBackAndPathlessNever)
{
    CookieManager store;
    store.AddCookie("a=1; path=/", "h.com", false, kNow);
    store.AddCookie("b=2", "h.com", false, kNow);
    EXPECT_EQ(store.CookieValue("h.com", "/", kNow), "a=1");
    EXPECT_EQ(store.cookies().size(), 2u);
}

TEST(CookieManagerTest, ForeignDomainIsDroppedDotDomainIsKept)
{
    CookieManager store;
    store.AddCookie("a=1; path=/; domain=.h.com", "www.h.com", false, kNow);
    store.AddCookie("b=2; path=/; domain=.evil.com", "www.h.com", false, kNow);
    ASSERT_EQ(store.cookies().size(), 1u);
    EXPECT_EQ(store.CookieValue("www.h.com", "/", kNow), "a=1");
    EXPECT_EQ(store.CookieValue("mail.h.com", "/", kNow), "a=1");
    EXPECT_EQ(store.CookieValue("www.h.com.evil.net", "/", kNow), "");
}

TEST(CookieManagerTest, SameNameReplacesInPlace)
{
    CookieManager store;
    store.AddCookie("a=1; path=/", "h", false, kNow);
    store.AddCookie("b=2; path=/", "h", false, kNow);
    store.AddCookie("A=3; path=/", "h", false, kNow);
    std::vector<Cookie> all = store.cookies();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].name, "A");
    EXPECT_EQ(all[0].value, "3");
    // Within a domain the later stored place goes first.
    EXPECT_EQ(store.CookieValue("h", "/", kNow), "b=2; A=3");
}

TEST(CookieManagerTest, OrderIsLongestPathThenDomainOrderThenNewestFirst)
{
    CookieManager store;
    store.AddCookie("d1=1; path=/", "www.h.com", false, kNow);
    store.AddCookie("p1=1; path=/; domain=.h.com", "www.h.com", false, kNow);
    store.AddCookie("d2=2; path=/", "www.h.com", false, kNow);
    store.AddCookie("deep=1; path=/music/", "www.h.com", false, kNow);
    EXPECT_EQ(store.CookieValue("www.h.com", "/music/", kNow), "deep=1; d2=2; d1=1; p1=1");
    EXPECT_EQ(store.CookieValue("www.h.com", "/", kNow), "d2=2; d1=1; p1=1");
}

TEST(CookieManagerTest, PathIsACaseSensitivePrefix)
{
    CookieManager store;
    store.AddCookie("a=1; path=/Music", "h", false, kNow);
    EXPECT_EQ(store.CookieValue("h", "/Music/", kNow), "a=1");
    EXPECT_EQ(store.CookieValue("h", "/music/", kNow), "");
}

TEST(CookieManagerTest, EmptyValuesAndSecureCookiesStayHome)
{
    CookieManager store;
    store.AddCookie("a=; path=/", "h", false, kNow);
    store.AddCookie("b=2; path=/; secure", "h", false, kNow);
    EXPECT_EQ(store.CookieValue("h", "/", kNow), "");
}

TEST(CookieManagerTest, ExpiredAndUnreadableDatesAreRemoved)
{
    CookieManager store;
    store.AddCookie("old=1; path=/; expires=Tue, 31 Dec 2019 23:59:59 GMT", "h", false, kNow);
    store.AddCookie("bad=1; path=/; expires=someday", "h", false, kNow);
    store.AddCookie("new=1; path=/; expires=Fri, 01 Jan 2021 00:00:00 GMT", "h", false, kNow);
    store.AddCookie("age=1; path=/; max-age=60", "h", false, kNow);
    EXPECT_EQ(store.CookieValue("h", "/", kNow), "age=1; new=1");
    EXPECT_EQ(store.cookies().size(), 2u);
    EXPECT_EQ(store.CookieValue("h", "/", kNow + std::chrono::seconds(61)), "new=1");
    EXPECT_EQ(store.cookies().size(), 1u);
}

// A server deletes a cookie by sending it again with "Max-Age=0": it goes at once.
TEST(CookieManagerTest, MaxAgeZeroExpiresAtOnce)
{
    CookieManager store;
    store.AddCookie("a=1; path=/", "h", false, kNow);
    store.AddCookie("a=1; path=/; Max-Age=0", "h", false, kNow);
    EXPECT_EQ(store.CookieValue("h", "/", kNow), "");
    EXPECT_TRUE(store.cookies().empty());
}

// Sharing between threads: the window's store serves the search worker and the UI thread.
TEST(CookieManagerTest, ThreadsStoringAndSendingAtOnceLoseNothing)
{
    CookieManager store;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&store, t] {
            const std::string host = "h" + std::to_string(t);
            for (int i = 0; i < 150; ++i) {
                store.AddCookie("c" + std::to_string(i) + "=v; path=/", host, false, kNow);
                store.CookieValue(host, "/", kNow);
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(store.cookies().size(), 600u);
}

// ---- What a server cannot make the store do ----

namespace {
// "c<first>=v; path=/" ... up to c<last>, for `host`.
void storeNumbered(CookieManager& store, const std::string& host, int first, int last)
{
    for (int i = first; i <= last; ++i)
        store.AddCookie("c" + std::to_string(i) + "=v; path=/", host, false, kNow);
}
}  // namespace

// A domain keeps its 180 newest cookies, as browsers do: however many a server sends,
// the store stays small, and storing them takes time in proportion to their number.
TEST(CookieLimitTest, ADomainKeepsItsNewestCookies)
{
    CookieManager store;
    storeNumbered(store, "h", 0, 39999);
    std::vector<Cookie> all = store.cookies();
    ASSERT_EQ(all.size(), 180u);
    EXPECT_EQ(all.front().name, "c39820");
    EXPECT_EQ(all.back().name, "c39999");
    // Replacing one keeps its age: the oldest goes next, whatever was sent again.
    store.AddCookie("c39820=again; path=/", "h", false, kNow);
    storeNumbered(store, "h", 40000, 40000);
    all = store.cookies();
    ASSERT_EQ(all.size(), 180u);
    EXPECT_EQ(all.front().name, "c39821");
}

// The store as a whole keeps its 3,000 newest cookies, dropping the oldest of any domain.
TEST(CookieLimitTest, TheStoreKeepsItsNewestCookies)
{
    CookieManager store;
    for (int host = 0; host < 20; ++host)
        storeNumbered(store, "h" + std::to_string(host), 0, 179);
    std::vector<Cookie> all = store.cookies();
    ASSERT_EQ(all.size(), 3000u);
    EXPECT_EQ(store.CookieValue("h2", "/", kNow), "");
    EXPECT_EQ(all.front().domain, "h3");
    EXPECT_EQ(all.front().name, "c60");
    EXPECT_EQ(all.back().domain, "h19");
}

// In the "Cookie" line a CR or LF would start a header line of the server's choosing.
TEST(CookieLimitTest, CookiesWithLineBreaksOrNulAreNotStored)
{
    CookieManager store;
    for (const std::string& bad : {std::string("cr=a\rX-Injected: yes; path=/"), std::string("lf=a\nX: 1; path=/"),
                                   std::string("nul=a\0b; path=/", 15), std::string("p=1; path=/\r")})
        store.AddCookie(bad, "h", false, kNow);
    store.AddCookie("ok=1; path=/", "h", false, kNow);
    EXPECT_EQ(store.CookieValue("h", "/", kNow), "ok=1");
    EXPECT_EQ(store.cookies().size(), 1u);
}

// ---- IPv6 hosts ----

// An IPv6 host is written in brackets; its cookies are its own. Its dots (an IPv4 address
// written into it) make no parent domains.
TEST(CookieIpv6Test, AnIpv6HostMatchesExactly)
{
    EXPECT_TRUE(CookieDomainAccepted("[::1]", "[::1]"));
    EXPECT_FALSE(CookieDomainAccepted("::1", "[::1]"));
    EXPECT_FALSE(CookieDomainAccepted(".2.3.4]", "[::ffff:1.2.3.4]"));
    EXPECT_TRUE(CookieDomainMatches("[::1]", "[::1]"));
    EXPECT_FALSE(CookieDomainMatches("2.3.4]", "[::ffff:1.2.3.4]"));
    EXPECT_FALSE(CookieDomainMatches("1]", "[::1]"));

    CookieManager store;
    store.AddCookie("a=1; path=/", "[::1]", false, kNow);
    store.AddCookie("b=2; path=/; domain=.2.3.4]", "[::ffff:1.2.3.4]", false, kNow);
    EXPECT_EQ(store.CookieValue("[::1]", "/", kNow), "a=1");
    EXPECT_EQ(store.CookieValue("[::2]", "/", kNow), "");
    EXPECT_EQ(store.CookieValue("[::ffff:9.2.3.4]", "/", kNow), "");
}
