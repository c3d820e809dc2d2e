#pragma once
// Splits a URL into the parts the HTTP client sends and connects with. No byte is
// percent-encoded or decoded; backslashes become slashes except inside GBK characters.
#include <cstdint>
#include <string>
#include <string_view>

namespace quavrel {

struct UrlParts {
    bool hasAuthority = false;   // the URL contains "://"
    std::string scheme;          // as written, may be empty
    std::string userInfo;        // never used for requests
    std::string host;            // an IPv6 address keeps its brackets: "[::1]"
    std::string port;            // port text as written, empty when none
    std::string directory;       // up to and including the last "/", without the leading one
    std::string document;
    std::string query;           // begins with "?" when present; fragment removed

    // "/" + directory + document + query; never empty. Without "://" the path as written,
    // with a "/" put in front when it has none.
    std::string target() const;
    // "/" + directory (the same rule without "://"): what cookie paths are matched against.
    std::string requestDirectory() const;
};

// Every backslash becomes "/", except the second byte of a GBK double-byte character.
std::string ReplaceBackslashes(std::string_view url);
UrlParts SplitUrl(std::string_view url);
// Four dot-separated decimal numbers from 0 to 255; `address` in network byte order.
bool ParseIpv4(std::string_view text, uint32_t& address);
// The address of a host that needs no lookup: "LOCALHOST" in any letter case is
// 127.0.0.1, and four numbers are the address as they stand. False for any other name.
bool LiteralAddress(std::string_view host, uint32_t& address);
// The name to look up for a URL's host: an IPv6 address without its brackets.
std::string_view Unbracketed(std::string_view host);

}  // namespace quavrel
