#include "tools/catalog/song_address.h"

#include "tools/catalog/http_server.h"

#include <charconv>

namespace quavrel::catalog {
namespace {

constexpr std::string_view kSongsPrefix = "/songs/";
constexpr std::size_t kMaxDigits = 15;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the digits at the start of `text` as a song number.
bool readNumber(std::string_view digits, std::int64_t& number)
{
    if (digits.empty() || digits.size() > kMaxDigits || digits[0] == '0')
        return false;
    for (char c : digits) {
        if (!isDigit(c))
            return false;
    }
    std::from_chars(digits.data(), digits.data() + digits.size(), number);
    return true;
}

}  // namespace

std::string SongUrl(const std::string& host, std::int64_t number, const std::string& extension)
{
    return "http://" + host + "/songs/" + std::to_string(number) + "." + extension;
}

bool ReadSongPath(std::string_view path, std::int64_t& number, std::string& extension)
{
    if (path.substr(0, kSongsPrefix.size()) != kSongsPrefix)
        return false;
    path.remove_prefix(kSongsPrefix.size());
    const std::size_t dot = path.find('.');
    if (dot == std::string_view::npos || !readNumber(path.substr(0, dot), number))
        return false;
    const std::string_view ext = path.substr(dot + 1);
    if (ext.empty() || ext.size() > 8)
        return false;
    for (char c : ext) {
        if (!isDigit(c) && !(c >= 'a' && c <= 'z'))
            return false;
    }
    extension = ext;
    return true;
}

bool SongNumberInUrl(std::string_view url, std::int64_t& number)
{
    const std::size_t scheme = url.find("://");
    if (scheme != std::string_view::npos)
        url.remove_prefix(scheme + 3);
    const std::size_t slash = url.find('/');
    if (slash == std::string_view::npos)
        return false;
    std::string extension;
    return ReadSongPath(url.substr(slash), number, extension);
}

bool IsSafeHost(std::string_view host)
{
    if (host.empty() || host.size() > 255)
        return false;
    for (char c : host) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || isDigit(c) || c == '.' || c == '-' ||
                        c == ':' || c == '[' || c == ']';
        if (!ok)
            return false;
    }
    return true;
}

std::string HostForAddresses(const HttpRequest& request)
{
    return IsSafeHost(request.host) ? request.host : request.localHost;
}

}  // namespace quavrel::catalog
