#include "platform/socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace quavrel {
namespace {

// The Windows socket error code for an errno value (the errno itself when unmapped).
int SocketErrorFromErrno(int error)
{
    switch (error) {
    case EINTR: return 10004;
    case EBADF: return 10009;
    case EACCES: return 10013;
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EMFILE: return 10024;
    case EAGAIN: return 10035;
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK: return 10035;
#endif
    case EINPROGRESS: return 10036;
    case EALREADY: return 10037;
    case ENOTSOCK: return 10038;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return 10040;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case ESOCKTNOSUPPORT: return 10044;
    case EOPNOTSUPP: return 10045;
    case EPFNOSUPPORT: return 10046;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    case ECONNABORTED: return 10053;
    case ECONNRESET: return 10054;
    case EPIPE: return 10054;  // Linux reports a send after the peer's reset this way
    case ENOBUFS: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    case ESHUTDOWN: return 10058;
    case ETOOMANYREFS: return 10059;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case ELOOP: return 10062;
    case ENAMETOOLONG: return 10063;
    case EHOSTDOWN: return 10064;
    case EHOSTUNREACH: return 10065;
    case ENOTEMPTY: return 10066;
    default: return error;
    }
}

}  // namespace

int ResolveHost(const std::string& host, std::vector<IpAddress>& addresses)
{
    addresses.clear();
    if (host.empty())
        return kSocketHostNotFound;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &result);
    if (rc != 0 || !result)
        return rc == EAI_AGAIN ? kSocketTryAgain : kSocketHostNotFound;
    for (const addrinfo* entry = result; entry; entry = entry->ai_next) {
        IpAddress address;
        if (entry->ai_family == AF_INET) {
            address = IpAddress::FromIpv4(reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr);
        } else if (entry->ai_family == AF_INET6) {
            address.v6 = true;
            std::memcpy(address.bytes.data(), &reinterpret_cast<const sockaddr_in6*>(entry->ai_addr)->sin6_addr, 16);
        } else {
            continue;
        }
        addresses.push_back(address);
    }
    ::freeaddrinfo(result);
    return addresses.empty() ? kSocketHostNotFound : 0;
}

bool Socket::open(const IpAddress& address)
{
    close();
    handle_ = ::socket(address.v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return valid();
}

namespace {
int pollFor(int fd, short events, int timeoutMs)
{
    pollfd p{fd, events, 0};
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int rc = ::poll(&p, 1, timeoutMs);
        if (rc >= 0)
            return rc;
        if (errno != EINTR)
            return -SocketErrorFromErrno(errno);
        if (timeoutMs >= 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            timeoutMs = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        }
    }
}
}  // namespace

int Socket::connect(const IpAddress& address, uint16_t port, int timeoutMs)
{
    sockaddr_storage storage{};
    socklen_t length;
    if (address.v6) {
        auto* to = reinterpret_cast<sockaddr_in6*>(&storage);
        to->sin6_family = AF_INET6;
        to->sin6_port = htons(port);
        std::memcpy(&to->sin6_addr, address.bytes.data(), 16);
        length = sizeof *to;
    } else {
        auto* to = reinterpret_cast<sockaddr_in*>(&storage);
        to->sin_family = AF_INET;
        to->sin_port = htons(port);
        std::memcpy(&to->sin_addr, address.bytes.data(), 4);
        length = sizeof *to;
    }
    const sockaddr* to = reinterpret_cast<const sockaddr*>(&storage);
    if (timeoutMs < 0) {
        int rc;
        do {
            rc = ::connect(handle_, to, length);
        } while (rc != 0 && errno == EINTR);
        return rc == 0 ? 0 : SocketErrorFromErrno(errno);
    }
    int flags = ::fcntl(handle_, F_GETFL);
    ::fcntl(handle_, F_SETFL, flags | O_NONBLOCK);
    int result = 0;
    if (::connect(handle_, to, length) != 0) {
        if (errno != EINPROGRESS) {
            result = SocketErrorFromErrno(errno);
        } else {
            int rc = pollFor(handle_, POLLOUT, timeoutMs);
            if (rc < 0) {
                result = -rc;
            } else if (rc == 0) {
                result = kSocketTimedOut;
            } else {
                int error = 0;
                socklen_t len = sizeof error;
                ::getsockopt(handle_, SOL_SOCKET, SO_ERROR, &error, &len);
                result = error ? SocketErrorFromErrno(error) : 0;
            }
        }
    }
    ::fcntl(handle_, F_SETFL, flags);
    return result;
}

int Socket::sendAll(const char* data, size_t size, int timeoutMs)
{
    timeval tv{};
    if (timeoutMs >= 0) {
        tv.tv_sec = timeoutMs / 1000;
        tv.tv_usec = (timeoutMs % 1000) * 1000;
        if (timeoutMs == 0)
            tv.tv_usec = 1000;  // zero would mean no limit at all
    }
    ::setsockopt(handle_, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    while (size > 0) {
        ssize_t sent = ::send(handle_, data, size, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR)
                continue;
            return SocketErrorFromErrno(errno);
        }
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return 0;
}

int Socket::waitReadable(int timeoutMs) { return pollFor(handle_, POLLIN, timeoutMs); }

long Socket::receive(char* buffer, size_t size)
{
    for (;;) {
        ssize_t got = ::recv(handle_, buffer, size, 0);
        if (got >= 0)
            return static_cast<long>(got);
        if (errno != EINTR)
            return -SocketErrorFromErrno(errno);
    }
}

void Socket::close()
{
    if (valid()) {
        ::shutdown(handle_, SHUT_WR);
        ::close(handle_);
        handle_ = kNoSocket;
    }
}

}  // namespace quavrel
