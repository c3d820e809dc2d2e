// What every system's socket shares: the ownership of its handle, and addresses.
#include "platform/socket.h"

#include <cstring>

namespace quavrel {

IpAddress IpAddress::FromIpv4(uint32_t networkOrder)
{
    IpAddress address;
    std::memcpy(address.bytes.data(), &networkOrder, 4);
    return address;
}

Socket::~Socket() { close(); }

Socket::Socket(Socket&& other) noexcept : handle_(other.handle_) { other.handle_ = kNoSocket; }

Socket& Socket::operator=(Socket&& other) noexcept
{
    if (this != &other) {
        close();
        handle_ = other.handle_;
        other.handle_ = kNoSocket;
    }
    return *this;
}

}  // namespace quavrel
