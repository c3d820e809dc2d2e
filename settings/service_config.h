#pragma once
// The addresses of the outside services, from values of our own under
// "Software\quavrel\Config": SearchServer, MakerServer, PortalServer (host[:port]) and
// SupportMail. main reads them once at start-up and hands them to setServices.
#include "songs/services.h"
#include "platform/registry.h"

namespace quavrel {

// A missing, empty, non-string or malformed value keeps its default (the bundled
// catalogue service), so a bad entry can never put spaces or line breaks into a request.
ServiceAddresses LoadServiceAddresses(UserRegistry& registry);
ServiceAddresses LoadServiceAddresses();

// True for "host" or "host:port" with a DNS name, an IPv4 address or a bracketed IPv6
// address, and a port from 1 to 65535.
bool IsValidServerAddress(const std::string& address);

}  // namespace quavrel
