#include "tests/support/http_client_support.h"

namespace quavrel::test {

std::string HostOf(const ScriptedServer& server) { return server.host() + ":" + std::to_string(server.port()); }

std::string ExpectedRequest(const std::string& method, const std::string& target, const std::string& host,
                            const std::string& extra)
{
    return method + " " + target + " HTTP/1.1\r\nContent-Type: text/html\r\nHost: " + host +
           "\r\nAccept: text/html, */*\r\nUser-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n" + extra + "\r\n";
}

std::string BodyOrFailure(TIdHTTP& http, const std::string& url)
{
    std::string body;
    std::string failure = FailureText([&] { body = http.GetText(url); });
    return failure.empty() ? body : failure;
}

}  // namespace quavrel::test
