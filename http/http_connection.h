#pragma once
// The HTTP client's one TCP connection with its input buffer. Connects (on the UI thread
// through a short-lived connect thread, so the window keeps handling messages), sends a
// request in one write, and receives with the waits cut into slices on the UI thread.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "http/http_response.h"
#include "platform/socket.h"

namespace quavrel {

class HttpConnection : public HttpInput {
public:
    using Clock = std::chrono::steady_clock;

    bool isOpen() const { return socket_.valid(); }
    const std::string& host() const { return host_; }
    uint16_t port() const { return port_; }

    // A limit on everything until it is cleared: past it, waits fail with EIdReadTimeout.
    void setDeadline(std::optional<Clock::time_point> deadline) { deadline_ = deadline; }

    // Opens a connection to host:port; throws the failure of the table of client errors.
    void connect(const std::string& host, uint16_t port);
    // Takes bytes already waiting into the buffer (1 ms wait) and closes the connection
    // when the server has closed it meanwhile.
    void dropIfClosedByServer();
    void send(const std::string& bytes);
    // Shuts the sending side, closes the socket and forgets buffered bytes.
    void close();
    // Every byte this object has received, over all its connections.
    uint64_t bytesReceived() const { return bytesReceived_; }

protected:
    size_t receive(char* into, size_t max, int waitLimitMs) override;

private:
    int msLeft() const;   // until the deadline, -1 without one
    [[noreturn]] void raiseReadTimeout();
    Socket connectOnUiThread(const std::vector<IpAddress>& addresses, uint16_t port);

    Socket socket_;
    std::string host_;
    uint16_t port_ = 0;
    std::optional<Clock::time_point> deadline_;
    uint64_t bytesReceived_ = 0;
};

}  // namespace quavrel
