// The request a URL makes, checked without a server.
#include "http/http_request.h"

#include <gtest/gtest.h>

#include "http/http_errors.h"

using namespace quavrel;

namespace {
std::string hostLine(const std::string& url)
{
    std::string request = RequestText(HttpMethod::Get, ResolveTarget(url, RequestTarget()), false, "");
    size_t start = request.find("\r\nHost: ") + 2;
    return request.substr(start, request.find("\r\n", start) - start);
}
}  // namespace

// The Host line: the port is left out when its text is "80", named or not; any other port
// text goes as written.
TEST(RequestTextTest, HostLineLeavesOutPort80)
{
    EXPECT_EQ(hostLine("http://h/x"), "Host: h");
    EXPECT_EQ(hostLine("http://h:80/x"), "Host: h");
    EXPECT_EQ(hostLine("ftp://h:80/x"), "Host: h");
    EXPECT_EQ(hostLine("http://h:8080/x"), "Host: h:8080");
    EXPECT_EQ(hostLine("http://h:080/x"), "Host: h:080");
}

// An IPv6 host goes in its brackets, with or without a port.
TEST(RequestTextTest, HostLineKeepsTheBracketsOfAnIpv6Address)
{
    EXPECT_EQ(hostLine("http://[::1]:8531/x"), "Host: [::1]:8531");
    EXPECT_EQ(hostLine("http://[fe80::1]/x"), "Host: [fe80::1]");
    EXPECT_EQ(ResolveTarget("http://[::1]:8531/x", RequestTarget()).port, 8531);
}

// A port that is a number but no port has a message of its own.
TEST(RequestTextTest, PortOutOfRange)
{
    for (const char* port : {"65536", "70000", "-1"}) {
        try {
            ResolveTarget(std::string("http://h:") + port + "/", RequestTarget());
            ADD_FAILURE() << port << " was taken";
        } catch (const EIdInvalidPort& e) {
            EXPECT_EQ(e.message(), std::string("Port number out of range: ") + port);
        } catch (const Exception& e) {
            ADD_FAILURE() << port << ": " << e.className() << ": " << e.message();
        }
    }
    EXPECT_EQ(ResolveTarget("http://h:65535/", RequestTarget()).port, 65535);
}
