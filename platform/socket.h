#pragma once
// A TCP socket over IPv4 or IPv6 that owns its descriptor, plus the host-name lookup.
// Used by the HTTP client's connection. Errors are reported as Windows socket error codes
// (10061 for a refused connect, 11001 for an unknown host ...) so that every platform
// shows the same message texts; 0 means success.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quavrel {

constexpr int kSocketHostNotFound = 11001;
constexpr int kSocketTryAgain = 11002;
constexpr int kSocketWouldBlock = 10035;
constexpr int kSocketTimedOut = 10060;
constexpr int kSocketConnAborted = 10053;
constexpr int kSocketShutdown = 10058;

// An IPv4 or an IPv6 address, its bytes in network order.
struct IpAddress {
    bool v6 = false;
    std::array<uint8_t, 16> bytes{};   // an IPv4 address in the first four

    static IpAddress FromIpv4(uint32_t networkOrder);
};

// Looks up the addresses of `host` for both families, in the order to try them. A host
// written as an address ("10.0.0.1", "::1") gives that address without any lookup.
// Returns 0 or a socket error.
int ResolveHost(const std::string& host, std::vector<IpAddress>& addresses);

class Socket {
public:
    Socket() = default;
    ~Socket();
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // Creates a new TCP socket for addresses of the family of `address`; false when none
    // can be had.
    bool open(const IpAddress& address);
    bool valid() const { return handle_ != kNoSocket; }

    // Blocking connect when timeoutMs < 0, otherwise a non-blocking one that gives up with
    // kSocketTimedOut after timeoutMs. Returns 0 or a socket error.
    int connect(const IpAddress& address, uint16_t port, int timeoutMs = -1);

    // Sends all bytes; timeoutMs >= 0 limits the time the send may block (kSocketWouldBlock).
    int sendAll(const char* data, size_t size, int timeoutMs = -1);

    // Waits until bytes or a close can be read. 1 ready, 0 limit passed, -code on error.
    // timeoutMs < 0 waits without limit.
    int waitReadable(int timeoutMs);

    // Receives up to `size` bytes: the count, 0 when the peer has closed, -code on error.
    long receive(char* buffer, size_t size);

    // Shuts the sending side down, then closes the descriptor.
    void close();

private:
    // A descriptor on Unix, a Winsock handle on Windows; both fit and neither is -1.
    using Handle = std::intptr_t;
    static constexpr Handle kNoSocket = -1;
    Handle handle_ = kNoSocket;
};

}  // namespace quavrel
