#include "tools/catalog/listen_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace quavrel::catalog {
namespace {

// Room for the burst of connections that one page of probes opens at once.
constexpr int kBacklog = 511;

std::runtime_error failure(const std::string& what, const std::string& address, int port)
{
    return std::runtime_error("cannot listen on " + address + " port " + std::to_string(port) + ": " + what);
}

}  // namespace

int OpenListeningSocket(const std::string& address, int port, int& boundPort)
{
    sockaddr_storage storage{};
    socklen_t length = 0;
    int family = AF_INET;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
    if (::inet_pton(AF_INET, address.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<uint16_t>(port));
        length = sizeof *v4;
    } else if (::inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr) == 1) {
        family = AF_INET6;
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<uint16_t>(port));
        length = sizeof *v6;
    } else {
        throw failure("not an IPv4 or IPv6 address", address, port);
    }

    const int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        throw failure(std::strerror(errno), address, port);
    const int on = 1, off = 0;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (family == AF_INET6)
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&storage), length) != 0 || ::listen(fd, kBacklog) != 0) {
        const std::string reason = std::strerror(errno);
        ::close(fd);
        throw failure(reason, address, port);
    }
    sockaddr_storage bound{};
    socklen_t boundLength = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &boundLength);
    boundPort = ntohs(family == AF_INET ? reinterpret_cast<sockaddr_in*>(&bound)->sin_port
                                        : reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port);
    return fd;
}

std::string AddressText(const sockaddr* address)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (!address)
        return {};
    if (address->sa_family == AF_INET) {
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text, sizeof text);
    } else if (address->sa_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
        if (IN6_IS_ADDR_V4MAPPED(&v6->sin6_addr))
            ::inet_ntop(AF_INET, &v6->sin6_addr.s6_addr[12], text, sizeof text);
        else
            ::inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
    }
    return text;
}

std::string LocalEndOf(int fd)
{
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return {};
    const auto* address = reinterpret_cast<const sockaddr*>(&local);
    const std::string host = AddressText(address);
    if (host.empty())
        return {};
    const bool v6 = host.find(':') != std::string::npos;
    const int port = ntohs(local.ss_family == AF_INET ? reinterpret_cast<sockaddr_in*>(&local)->sin_port
                                                      : reinterpret_cast<sockaddr_in6*>(&local)->sin6_port);
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

}  // namespace quavrel::catalog
