#include "http/url.h"

#include <cstring>

#include "platform/bytes.h"

namespace quavrel {

namespace {
// The path part of a URL with "://" follows the "/" that ends the authority, so the target
// is that "/" and the path as it stands: "//a/b.mp3" stays "//a/b.mp3".
std::string rooted(bool hasAuthority, std::string path)
{
    if (hasAuthority || path.empty() || path[0] != '/')
        path.insert(0, 1, '/');
    return path;
}
}  // namespace

std::string UrlParts::target() const { return rooted(hasAuthority, directory + document + query); }

std::string UrlParts::requestDirectory() const { return rooted(hasAuthority, directory); }

std::string ReplaceBackslashes(std::string_view url)
{
    std::string out(url);
    for (size_t i = 0; i < out.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (c >= 0x81 && c <= 0xFE)
            ++i;   // the trail byte of a double-byte character stays as it is
        else if (c == '\\')
            out[i] = '/';
    }
    return out;
}

UrlParts SplitUrl(std::string_view input)
{
    UrlParts parts;
    std::string url = ReplaceBackslashes(input);
    std::string path;
    size_t marker = url.find("://");
    if (marker != std::string::npos) {
        parts.hasAuthority = true;
        parts.scheme = url.substr(0, marker);
        std::string rest = url.substr(marker + 3);
        size_t slash = rest.find('/');
        std::string authority = rest.substr(0, slash);
        path = slash == std::string::npos ? std::string() : rest.substr(slash + 1);
        size_t at = authority.find('@');
        if (at != std::string::npos) {
            parts.userInfo = authority.substr(0, at);
            authority.erase(0, at + 1);
        }
        // An IPv6 address is written in brackets, so that its colons are not the port's.
        size_t hostEnd = 0;
        if (!authority.empty() && authority[0] == '[' && authority.find(']') != std::string::npos)
            hostEnd = authority.find(']') + 1;
        size_t colon = authority.find(':', hostEnd);
        parts.host = authority.substr(0, colon);
        if (colon != std::string::npos)
            parts.port = authority.substr(colon + 1);
    } else {
        path = url;
    }

    size_t queryStart = path.find('?');
    if (queryStart == std::string::npos)
        queryStart = path.find('=');
    if (queryStart == std::string::npos)
        queryStart = path.size();
    size_t lastSlash = queryStart == 0 ? std::string::npos : path.rfind('/', queryStart - 1);
    size_t documentStart = lastSlash == std::string::npos ? 0 : lastSlash + 1;
    parts.directory = path.substr(0, documentStart);
    parts.document = path.substr(documentStart, queryStart - documentStart);
    parts.query = path.substr(queryStart);

    size_t hash = parts.document.find('#');
    if (hash != std::string::npos) {
        parts.document.erase(hash);
        parts.query.clear();
    } else if ((hash = parts.query.find('#')) != std::string::npos) {
        parts.query.erase(hash);
    }
    return parts;
}

bool ParseIpv4(std::string_view text, uint32_t& address)
{
    uint32_t bytes[4];
    size_t pos = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (pos >= text.size() || text[pos] != '.')
                return false;
            ++pos;
        }
        size_t start = pos;
        uint32_t value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 3)
            value = value * 10 + static_cast<uint32_t>(text[pos++] - '0');
        if (pos == start || value > 255)
            return false;
        bytes[part] = value;
    }
    if (pos != text.size())
        return false;
    const uint8_t octets[4] = {uint8_t(bytes[0]), uint8_t(bytes[1]), uint8_t(bytes[2]), uint8_t(bytes[3])};
    std::memcpy(&address, octets, 4);   // network byte order is memory order
    return true;
}

bool LiteralAddress(std::string_view host, uint32_t& address)
{
    if (EqualsNoCase(host, "LOCALHOST"))
        return ParseIpv4("127.0.0.1", address);
    return ParseIpv4(host, address);
}

std::string_view Unbracketed(std::string_view host)
{
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        return host.substr(1, host.size() - 2);
    return host;
}

}  // namespace quavrel
