#include "http/url.h"

#include <gtest/gtest.h>

using namespace quavrel;

// Splitting absolute URLs
TEST(SplitUrlTest, HostPortPathQueryAndFragment)
{
    UrlParts u = SplitUrl("http://h:8080/a/b.mp3?x=1#frag");
    EXPECT_TRUE(u.hasAuthority);
    EXPECT_EQ(u.scheme, "http");
    EXPECT_EQ(u.host, "h");
    EXPECT_EQ(u.port, "8080");
    EXPECT_EQ(u.directory, "a/");
    EXPECT_EQ(u.document, "b.mp3");
    EXPECT_EQ(u.query, "?x=1");
    EXPECT_EQ(u.target(), "/a/b.mp3?x=1");
    EXPECT_EQ(u.requestDirectory(), "/a/");
}

// A doubled slash at the start of the path belongs to the path, and so to cookie paths.
TEST(SplitUrlTest, DoubledSlashAtThePathStartIsKept)
{
    UrlParts u = SplitUrl("http://h:8080//a/b.mp3");
    EXPECT_EQ(u.target(), "//a/b.mp3");
    EXPECT_EQ(u.requestDirectory(), "//a/");
    EXPECT_EQ(SplitUrl("http://h//").target(), "//");
}

TEST(SplitUrlTest, HostOnlyGivesTheRootTarget)
{
    EXPECT_EQ(SplitUrl("http://example.com").target(), "/");
    EXPECT_EQ(SplitUrl("http://example.com/").target(), "/");
    EXPECT_EQ(SplitUrl("http://user:pw@example.com:81/x").host, "example.com");
    EXPECT_EQ(SplitUrl("http://user:pw@example.com:81/x").userInfo, "user:pw");
    EXPECT_EQ(SplitUrl("http://user:pw@example.com:81/x").port, "81");
}

// An IPv6 address is written in brackets; its colons are not the port's, and the host
// keeps its brackets, as the Host line and the cookie store want it.
TEST(SplitUrlTest, BracketedIpv6Host)
{
    UrlParts u = SplitUrl("http://[::1]:8531/a/b.mp3");
    EXPECT_EQ(u.host, "[::1]");
    EXPECT_EQ(u.port, "8531");
    EXPECT_EQ(u.target(), "/a/b.mp3");
    EXPECT_EQ(SplitUrl("http://[fe80::1:2]/").host, "[fe80::1:2]");
    EXPECT_EQ(SplitUrl("http://[fe80::1:2]/").port, "");
    EXPECT_EQ(SplitUrl("http://u@[::1]:81/").host, "[::1]");
    EXPECT_EQ(SplitUrl("http://u@[::1]:81/").port, "81");
    // Without its closing bracket the text is no IPv6 address: the first colon splits.
    EXPECT_EQ(SplitUrl("http://[::1/").host, "[");
    EXPECT_EQ(Unbracketed("[::1]"), "::1");
    EXPECT_EQ(Unbracketed("h"), "h");
}

TEST(SplitUrlTest, PercentEscapesAreLeftAlone)
{
    EXPECT_EQ(SplitUrl("http://s/searchmp3?type=5&keyword=%B0%AE&items=1").target(),
              "/searchmp3?type=5&keyword=%B0%AE&items=1");
}

// Without "?" the query starts at the first "=", so a slash after it stays in the query.
TEST(SplitUrlTest, QueryStartsAtEqualsWithoutQuestionMark)
{
    UrlParts u = SplitUrl("http://h/dir/page=1/x");
    EXPECT_EQ(u.directory, "dir/");
    EXPECT_EQ(u.document, "page");
    EXPECT_EQ(u.query, "=1/x");
    EXPECT_EQ(u.target(), "/dir/page=1/x");
}

TEST(SplitUrlTest, FragmentInTheDocumentDropsTheQueryToo)
{
    EXPECT_EQ(SplitUrl("http://h/a/b#c?x=1").target(), "/a/b");
    EXPECT_EQ(SplitUrl("http://h/a/b?x=1#c#d").target(), "/a/b?x=1");
    EXPECT_EQ(SplitUrl("http://h/a#b/c?x").target(), "/a#b/c?x");   // the "#" lies in the directory
}

// Backslashes and GBK
TEST(ReplaceBackslashesTest, BackslashesBecomeSlashes)
{
    EXPECT_EQ(ReplaceBackslashes("http:\\\\h\\a\\b.mp3"), "http://h/a/b.mp3");
    EXPECT_EQ(SplitUrl("http://h\\music\\a.mp3").target(), "/music/a.mp3");
}

// 0x5C is a legal trail byte of GBK characters such as 0x955C; it must survive.
TEST(ReplaceBackslashesTest, GbkTrailBytesStay)
{
    EXPECT_EQ(ReplaceBackslashes("/\x95\x5C\\x"), "/\x95\x5C/x");
    EXPECT_EQ(ReplaceBackslashes("\xD6\xD0\\"), "\xD6\xD0/");
    EXPECT_EQ(ReplaceBackslashes("\xFF\\"), "\xFF/");   // 0xFF is no lead byte
    EXPECT_EQ(ReplaceBackslashes("\x80\\"), "\x80/");   // nor is 0x80
}

// URLs without "://"
TEST(SplitUrlTest, RelativeUrlIsAllPath)
{
    UrlParts u = SplitUrl("/hotlist.asp");
    EXPECT_FALSE(u.hasAuthority);
    EXPECT_EQ(u.host, "");
    EXPECT_EQ(u.target(), "/hotlist.asp");
    EXPECT_EQ(SplitUrl("").target(), "/");
}

// IPv4 addresses
TEST(ParseIpv4Test, FourNumbersUpTo255)
{
    uint32_t a = 0;
    EXPECT_TRUE(ParseIpv4("127.0.0.1", a));
    const auto* b = reinterpret_cast<const unsigned char*>(&a);
    EXPECT_EQ(b[0], 127);
    EXPECT_EQ(b[3], 1);
    for (const char* bad : {"256.0.0.1", "1.2.3", "1.2.3.4.5", "a.b.c.d", "1..2.3", "", "1.2.3.4 ", "1234.1.1.1"})
        EXPECT_FALSE(ParseIpv4(bad, a)) << bad;
}

// Host names that need no lookup
TEST(LiteralAddressTest, LocalhostInAnyCaseIsTheLoopback)
{
    uint32_t loopback = 0, a = 0;
    ASSERT_TRUE(ParseIpv4("127.0.0.1", loopback));
    for (const char* name : {"LOCALHOST", "localhost", "LocalHost"}) {
        a = 0;
        EXPECT_TRUE(LiteralAddress(name, a)) << name;
        EXPECT_EQ(a, loopback) << name;
    }
    EXPECT_TRUE(LiteralAddress("10.1.2.3", a));
    EXPECT_FALSE(LiteralAddress("localhost.example", a));
    EXPECT_FALSE(LiteralAddress("example.com", a));
}
