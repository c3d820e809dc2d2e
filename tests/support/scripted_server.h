#pragma once
// A TCP server on 127.0.0.1 or ::1 (ephemeral port) for network tests. Each accepted connection
// plays the next queued script: read one request head, send exact bytes, pause, close or
// reset, or hold the connection open. Records every request head byte for byte and
// counts connections. A connection without a script is closed at once.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/loopback_listener.h"

namespace quavrel::test {

class Script {
public:
    Script& read();                          // one request head, up to the empty line
    Script& send(std::string bytes);
    Script& pause(int milliseconds);
    Script& close();                         // an orderly close (FIN)
    Script& reset();                         // an abortive close (RST)
    Script& hold();                          // keep the connection open until the server stops
    // read() then send(response), `count` times.
    Script& answer(const std::string& response, int count = 1);

    struct Step {
        enum Kind { Read, Send, Pause, Close, Reset, Hold } kind;
        std::string bytes;
        int milliseconds = 0;
    };
    std::vector<Step> steps;
};

class ScriptedServer {
public:
    // Listens on `port`, or on a free one when it is 0. Throws std::runtime_error when
    // the port cannot be had.
    explicit ScriptedServer(uint16_t port = 0, Loopback family = Loopback::kIpv4);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    uint16_t port() const { return port_; }
    // "127.0.0.1" or "[::1]", as a URL writes it
    std::string host() const;
    // "http://127.0.0.1:<port>" + path, or "http://[::1]:<port>" + path
    std::string url(const std::string& path = "/") const;

    void add(Script script);
    int connections() const { return connections_.load(); }
    std::vector<std::string> requests() const;
    std::string request(size_t index) const;   // empty when there is no such request
    // Stops accepting and ends every held connection.
    void stop();

private:
    void acceptLoop();
    void play(int fd, Script script);
    bool sleepFor(int milliseconds);   // false when the server stops meanwhile

    int listenFd_ = -1;
    uint16_t port_ = 0;
    Loopback family_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    std::condition_variable stopped_;
    std::deque<Script> scripts_;
    std::vector<std::string> requests_;
    std::vector<std::thread> handlers_;
    std::thread acceptor_;
};

// A response with "Content-Length" and the given extra header lines (each ending CR LF).
std::string HttpResponseText(const std::string& body, const std::string& status = "HTTP/1.1 200 OK",
                             const std::string& headers = "");

}  // namespace quavrel::test
