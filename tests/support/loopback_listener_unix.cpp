#include "tests/support/loopback_listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

namespace quavrel::test {

int ListenOnLoopback(uint16_t& port, int backlog, Loopback family)
{
    const bool v6 = family == Loopback::kIpv6;
    int fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("socket failed");
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_storage address{};
    socklen_t length;
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
    if (::bind(fd, bound, length) != 0 || ::listen(fd, backlog) != 0 || ::getsockname(fd, bound, &length) != 0) {
        ::close(fd);
        throw std::runtime_error(std::string("cannot listen on ") + (v6 ? "[::1]:" : "127.0.0.1:") +
                                 std::to_string(port));
    }
    port = ntohs(v6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                    : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    return fd;
}

uint16_t ClosedLoopbackPort(Loopback family)
{
    uint16_t port = 0;
    ::close(ListenOnLoopback(port, 1, family));
    return port;
}

int AcceptWithin(int listener, int timeoutMs)
{
    if (!ReadableWithin(listener, timeoutMs))
        return -1;
    return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
}

bool ReadableWithin(int socket, int timeoutMs)
{
    pollfd p{socket, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0;
}

long ReceiveSome(int socket, char* buffer, size_t size) { return ::recv(socket, buffer, size, 0); }

long SendSome(int socket, const char* data, size_t size) { return ::send(socket, data, size, MSG_NOSIGNAL); }

void ShutdownSending(int socket) { ::shutdown(socket, SHUT_WR); }

void CloseSocket(int socket) { ::close(socket); }

void ResetAndClose(int socket)
{
    linger option{1, 0};
    ::setsockopt(socket, SOL_SOCKET, SO_LINGER, &option, sizeof option);
    ::close(socket);
}

}  // namespace quavrel::test
