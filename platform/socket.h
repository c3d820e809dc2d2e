#pragma once
// A TCP socket over IPv4 that owns its descriptor, plus the host-name lookup. Used by the
// HTTP client's connection. Errors are reported as Windows socket error codes (10061 for
// a refused connect, 11001 for an unknown host ...) so that every platform shows the
// same message texts; 0 means success.
#include <cstddef>
#include <cstdint>
#include <string>

namespace quavrel {

constexpr int kSocketHostNotFound = 11001;
constexpr int kSocketTryAgain = 11002;
constexpr int kSocketWouldBlock = 10035;
constexpr int kSocketTimedOut = 10060;
constexpr int kSocketConnAborted = 10053;
constexpr int kSocketShutdown = 10058;

// The Windows socket error code for an errno value (the errno itself when unmapped).
int SocketErrorFromErrno(int error);

// Looks up an IPv4 address (network byte order) for `host`. Returns 0 or a socket error.
int ResolveHost(const std::string& host, uint32_t& address);

class Socket {
public:
    Socket() = default;
    ~Socket();
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // Creates a new TCP socket; false when none can be had.
    bool open();
    bool valid() const { return fd_ >= 0; }

    // Blocking connect when timeoutMs < 0, otherwise a non-blocking one that gives up with
    // kSocketTimedOut after timeoutMs. Returns 0 or a socket error.
    int connect(uint32_t address, uint16_t port, int timeoutMs = -1);

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
    int fd_ = -1;
};

}  // namespace quavrel
