#include "tests/support/loopback_listener.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>
#include <stdexcept>
#include <string>

namespace quavrel::test {
namespace {

void startWinsock()
{
    static std::once_flag started;
    std::call_once(started, [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    });
}

SOCKET asSocket(int socket) { return static_cast<SOCKET>(socket); }

int waitFor(int socket, int timeoutMs)
{
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(asSocket(socket), &ready);
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return ::select(0, &ready, nullptr, nullptr, timeoutMs < 0 ? nullptr : &limit);
}

}  // namespace

// No SO_REUSEADDR: on Windows it would let another socket take the same port.
int ListenOnLoopback(uint16_t& port, int backlog, Loopback family)
{
    startWinsock();
    const bool v6 = family == Loopback::kIpv6;
    const SOCKET socket =
        ::WSASocketW(v6 ? AF_INET6 : AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (socket == INVALID_SOCKET)
        throw std::runtime_error("socket failed");
    sockaddr_storage address{};
    int length;
    if (v6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
        in6->sin6_family = AF_INET6;
        in6->sin6_addr = in6addr_loopback;
        in6->sin6_port = htons(port);
        length = sizeof *in6;
    } else {
        auto* in = reinterpret_cast<sockaddr_in*>(&address);
        in->sin_family = AF_INET;
        in->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        in->sin_port = htons(port);
        length = sizeof *in;
    }
    auto* bound = reinterpret_cast<sockaddr*>(&address);
    if (::bind(socket, bound, length) != 0 || ::listen(socket, backlog) != 0 ||
        ::getsockname(socket, bound, &length) != 0) {
        ::closesocket(socket);
        throw std::runtime_error(std::string("cannot listen on ") + (v6 ? "[::1]:" : "127.0.0.1:") +
                                 std::to_string(port));
    }
    port = ntohs(v6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                    : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    return static_cast<int>(socket);
}

uint16_t ClosedLoopbackPort(Loopback family)
{
    uint16_t port = 0;
    CloseSocket(ListenOnLoopback(port, 1, family));
    return port;
}

int AcceptWithin(int listener, int timeoutMs)
{
    if (!ReadableWithin(listener, timeoutMs))
        return -1;
    const SOCKET socket = ::accept(asSocket(listener), nullptr, nullptr);
    return socket == INVALID_SOCKET ? -1 : static_cast<int>(socket);
}

bool ReadableWithin(int socket, int timeoutMs) { return waitFor(socket, timeoutMs) > 0; }

long ReceiveSome(int socket, char* buffer, size_t size)
{
    return ::recv(asSocket(socket), buffer, static_cast<int>(size), 0);
}

long SendSome(int socket, const char* data, size_t size)
{
    return ::send(asSocket(socket), data, static_cast<int>(size), 0);
}

void ShutdownSending(int socket) { ::shutdown(asSocket(socket), SD_SEND); }

void CloseSocket(int socket) { ::closesocket(asSocket(socket)); }

void ResetAndClose(int socket)
{
    linger option{1, 0};
    ::setsockopt(asSocket(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&option), sizeof option);
    ::closesocket(asSocket(socket));
}

}  // namespace quavrel::test
