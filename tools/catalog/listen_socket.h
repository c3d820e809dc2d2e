#pragma once
// The service's listening socket and the address texts of its connections.
#include <string>

struct sockaddr;

namespace quavrel::catalog {

// Listens on `address` (an IPv4 or IPv6 address; "::" also takes IPv4 clients) at `port`,
// 0 for any free port, and sets `boundPort`. Returns the descriptor; throws
// std::runtime_error with the reason otherwise.
int OpenListeningSocket(const std::string& address, int port, int& boundPort);

// "1.2.3.4" or "::1" (no port); "" for an address of another family.
std::string AddressText(const sockaddr* address);
// "1.2.3.4:80" or "[::1]:80" of the local end of a connected socket; "" when unknown.
std::string LocalEndOf(int fd);

}  // namespace quavrel::catalog
