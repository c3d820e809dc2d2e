#pragma once
// Helpers for tests of the HTTP client against a scripted server: the exact request the
// client should write, failures as text, and a guard for tests where a broken rule would
// leave the client waiting for ever on a server that holds its connection open.
#include <chrono>
#include <string>

#include "http/http_client.h"
#include "platform/exception.h"
#include "tests/support/scripted_server.h"

namespace quavrel::test {

// "127.0.0.1:<port>" or "[::1]:<port>": the Host value of requests to `server`.
std::string HostOf(const ScriptedServer& server);

// The request the client writes; `extra` holds the header lines after User-Agent.
std::string ExpectedRequest(const std::string& method, const std::string& target, const std::string& host,
                            const std::string& extra = "");

// A request limit for tests whose server holds the connection open: far above what any
// sound request on the loopback takes, far below the suite's own limit, so a broken rule
// fails the test with "EIdReadTimeout: Read Timeout" instead of hanging it.
constexpr std::chrono::seconds kHangGuard{10};

// What `call` threw, as "Class: message"; "" when it returned.
template <typename Call>
std::string FailureText(Call&& call)
{
    try {
        call();
    } catch (const Exception& e) {
        return std::string(e.className()) + ": " + e.message();
    }
    return "";
}

// The body of a GET, or what it threw as "Class: message".
std::string BodyOrFailure(TIdHTTP& http, const std::string& url);

}  // namespace quavrel::test
