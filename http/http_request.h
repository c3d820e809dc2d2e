#pragma once
// What one request is before it goes out: where its URL sends it, and the exact bytes the
// client writes. Pure functions, so every rule of the request can be checked without a
// server (the port-80 rule of the Host line among them).
#include <cstdint>
#include <string>
#include <string_view>

namespace quavrel {

enum class HttpMethod { Get, Head };

// Where one request goes, worked out from its URL before anything is sent.
struct RequestTarget {
    std::string host;               // as written in the URL, an IPv6 address in its brackets
    uint16_t port = 80;
    std::string portText = "80";    // as written; the Host line leaves out "80"
    std::string path;               // the request target, starting with "/"
    std::string directory;          // what cookie paths are matched against
};

// Where `url` goes. A URL without "://" goes to the host and port of `previous`. Throws
// EIdInvalidURL for an address with CR, LF or NUL bytes, EIdIOHandlerPropInvalid for
// "https", EIdUnknownProtocol for another scheme without a port, EConvertError for a
// port that is no number and EIdInvalidPort for one outside 0 to 65535.
RequestTarget ResolveTarget(std::string_view url, const RequestTarget& previous);

// The request line, the header lines (long ones folded) and the empty line. `cookie`
// empty: no "Cookie" line.
std::string RequestText(HttpMethod method, const RequestTarget& target, bool basicCredential,
                        const std::string& cookie);

}  // namespace quavrel
