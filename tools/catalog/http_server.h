#pragma once
// The catalogue service's HTTP server: event-driven (libmicrohttpd on epoll), a fixed
// number of threads, a cap on connections in all and per client address, a short limit for
// an idle or half-sent request, and a bounded request head. A client that stalls costs a
// socket and a few kilobytes, never a thread, so the others keep getting answers. The
// handlers see a plain request and return a plain response; they never touch a socket.
#include "tools/catalog/http_response.h"

#include <functional>
#include <memory>
#include <string>

namespace quavrel::catalog {

struct HttpRequest {
    std::string method;     // "GET", "HEAD", ...
    std::string target;     // the request target as sent: path and query, still encoded
    std::string path;       // `target` up to its "?", still encoded
    std::string host;       // the Host header, "" when missing
    std::string range;      // the Range header, "" when missing
    std::string client;     // the client's address, "127.0.0.1" or "::1"
    std::string localHost;  // "ADDRESS:PORT" the connection reached, IPv6 in brackets
};

using HttpHandler = std::function<HttpResponse(const HttpRequest&)>;

struct ServerLimits {
    unsigned threads = 4;
    // Connections at once; 0 takes a share of the descriptors the process may open, so a
    // flood finds the door closed before the process runs out of descriptors.
    unsigned connections = 0;
    unsigned perClient = 128;   // the program probes a whole page of songs at once
    unsigned idleSeconds = 20;  // for a request head, a slow reader and a kept connection
    std::size_t requestBytes = 16 * 1024;
};

class HttpServer {
public:
    // Opens the listening socket on `address` ("127.0.0.1", "::", "0.0.0.0", "::1" ...) and
    // `port` (0: any free port). Throws std::runtime_error with a message for the user.
    HttpServer(const std::string& address, int port, const ServerLimits& limits);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    int port() const;
    // Serves on the server's own threads until stop() or destruction.
    void start(HttpHandler handler);
    void stop();

    struct State;

private:
    std::unique_ptr<State> state_;
};

// The descriptor budget a server may use for connections, given the process's limit:
// each connection may hold a song file open too, and the database, the watcher and the
// logs need some of their own.
unsigned ConnectionBudget(unsigned long descriptorLimit);

}  // namespace quavrel::catalog
