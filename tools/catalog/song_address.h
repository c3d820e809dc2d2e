#pragma once
// Song addresses: "http://HOST/songs/NUMBER.EXT". The number is the only thing a request
// names; no part of an address is ever a path on the disk.
#include <cstdint>
#include <string>
#include <string_view>

namespace quavrel::catalog {

struct HttpRequest;

std::string SongUrl(const std::string& host, std::int64_t number, const std::string& extension);

// Reads "/songs/NUMBER.EXT" exactly: a number without leading zeros of at most 15
// digits, a dot and an extension of lower-case letters and digits. False for anything else.
bool ReadSongPath(std::string_view path, std::int64_t& number, std::string& extension);

// The song number in an address of any host ("http://other-name:80/songs/12.flac"), as a
// recommendation names it; false when the address does not name one.
bool SongNumberInUrl(std::string_view url, std::int64_t& number);

// The host to put into addresses answered to `request`: its Host header when that is safe
// to copy into a page, else the address the connection reached.
std::string HostForAddresses(const HttpRequest& request);

// True for a Host header value that is safe to copy into a page: letters, digits, ".",
// "-", ":", "[" and "]" only, not empty, at most 255 bytes.
bool IsSafeHost(std::string_view host);

}  // namespace quavrel::catalog
