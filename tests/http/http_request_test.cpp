// The request a URL makes, checked without a server.
#include "http/http_request.h"

#include <gtest/gtest.h>

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
