// Sockets on Winsock 2. Its error numbers are the ones the rest of the program reports,
// so they pass through as they are.
#include "platform/socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>
#include <mutex>

#include "platform/wide_text_win.h"

namespace quavrel {
namespace {

// Winsock needs one start per process before any other call; it stays started for the
// rest of the run.
void startWinsock()
{
    static std::once_flag started;
    std::call_once(started, [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    });
}

SOCKET asSocket(std::intptr_t handle) { return static_cast<SOCKET>(handle); }

// The address and port as the system's calls take them; returns the length used.
int toSystemAddress(const IpAddress& address, uint16_t port, sockaddr_storage& storage)
{
    storage = {};
    if (address.v6) {
        auto* to = reinterpret_cast<sockaddr_in6*>(&storage);
        to->sin6_family = AF_INET6;
        to->sin6_port = htons(port);
        std::memcpy(&to->sin6_addr, address.bytes.data(), 16);
        return sizeof *to;
    }
    auto* to = reinterpret_cast<sockaddr_in*>(&storage);
    to->sin_family = AF_INET;
    to->sin_port = htons(port);
    std::memcpy(&to->sin_addr, address.bytes.data(), 4);
    return sizeof *to;
}

// select() with a limit in milliseconds; < 0 waits without one. Readiness for `write`
// includes a failed connect, which Windows reports among the exceptions.
int waitFor(SOCKET socket, bool write, int timeoutMs)
{
    fd_set ready;
    fd_set failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(socket, &ready);
    FD_SET(socket, &failed);
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    const int rc = ::select(0, write ? nullptr : &ready, write ? &ready : nullptr, &failed,
                            timeoutMs < 0 ? nullptr : &limit);
    if (rc == SOCKET_ERROR)
        return -WSAGetLastError();
    return rc > 0 ? 1 : 0;
}

int connectWithin(SOCKET socket, const sockaddr* to, int length, int timeoutMs)
{
    u_long nonBlocking = 1;
    ::ioctlsocket(socket, FIONBIO, &nonBlocking);
    int result = 0;
    if (::connect(socket, to, length) != 0) {
        result = WSAGetLastError();
        if (result == WSAEWOULDBLOCK) {
            const int rc = waitFor(socket, true, timeoutMs);
            if (rc < 0) {
                result = -rc;
            } else if (rc == 0) {
                result = kSocketTimedOut;
            } else {
                int error = 0;
                int length = sizeof error;
                ::getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
                result = error;
            }
        }
    }
    nonBlocking = 0;
    ::ioctlsocket(socket, FIONBIO, &nonBlocking);
    return result;
}

}  // namespace

int ResolveHost(const std::string& host, std::vector<IpAddress>& addresses)
{
    addresses.clear();
    if (host.empty())
        return kSocketHostNotFound;
    startWinsock();
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    ADDRINFOW* found = nullptr;
    const int rc = GetAddrInfoW(Wide(host).c_str(), nullptr, &hints, &found);
    if (rc != 0 || !found)
        return rc == WSATRY_AGAIN ? kSocketTryAgain : kSocketHostNotFound;
    for (const ADDRINFOW* entry = found; entry; entry = entry->ai_next) {
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
    FreeAddrInfoW(found);
    return addresses.empty() ? kSocketHostNotFound : 0;
}

bool Socket::open(const IpAddress& address)
{
    close();
    startWinsock();
    // Not inherited by programs this one starts, as close-on-exec does on Unix.
    const SOCKET socket = ::WSASocketW(address.v6 ? AF_INET6 : AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                                       WSA_FLAG_NO_HANDLE_INHERIT);
    if (socket == INVALID_SOCKET)
        return false;
    handle_ = static_cast<Handle>(socket);
    return true;
}

int Socket::connect(const IpAddress& address, uint16_t port, int timeoutMs)
{
    sockaddr_storage storage;
    const int length = toSystemAddress(address, port, storage);
    const sockaddr* to = reinterpret_cast<const sockaddr*>(&storage);
    if (timeoutMs >= 0)
        return connectWithin(asSocket(handle_), to, length, timeoutMs);
    if (::connect(asSocket(handle_), to, length) != 0)
        return WSAGetLastError();
    return 0;
}

int Socket::sendAll(const char* data, size_t size, int timeoutMs)
{
    // Zero would mean no limit at all.
    DWORD limit = timeoutMs < 0 ? 0 : timeoutMs == 0 ? 1 : static_cast<DWORD>(timeoutMs);
    ::setsockopt(asSocket(handle_), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
    while (size > 0) {
        const int chunk = size > 0x40000000 ? 0x40000000 : static_cast<int>(size);
        const int sent = ::send(asSocket(handle_), data, chunk, 0);
        if (sent == SOCKET_ERROR) {
            const int error = WSAGetLastError();
            // A send that ran out of its time is reported as a blocked one, as on Unix.
            return error == WSAETIMEDOUT && timeoutMs >= 0 ? kSocketWouldBlock : error;
        }
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return 0;
}

int Socket::waitReadable(int timeoutMs) { return waitFor(asSocket(handle_), false, timeoutMs); }

long Socket::receive(char* buffer, size_t size)
{
    const int chunk = size > 0x40000000 ? 0x40000000 : static_cast<int>(size);
    const int got = ::recv(asSocket(handle_), buffer, chunk, 0);
    return got == SOCKET_ERROR ? -static_cast<long>(WSAGetLastError()) : got;
}

void Socket::close()
{
    if (valid()) {
        ::shutdown(asSocket(handle_), SD_SEND);
        ::closesocket(asSocket(handle_));
        handle_ = kNoSocket;
    }
}

}  // namespace quavrel
