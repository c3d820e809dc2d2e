#include "tools/catalog/http_response.h"

#include "tools/catalog/os_files.h"

#include <charconv>

namespace quavrel::catalog {
namespace {

bool readNumber(std::string_view text, std::uint64_t& value)
{
    if (text.empty())
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

std::string_view trimBlanks(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

}  // namespace

HttpResponse::HttpResponse(HttpResponse&& other) noexcept { *this = std::move(other); }

HttpResponse& HttpResponse::operator=(HttpResponse&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            CloseDescriptor(fd_);
        code_ = other.code_;
        kind_ = other.kind_;
        owned_ = std::move(other.owned_);
        view_ = other.view_;
        fd_ = std::exchange(other.fd_, -1);
        offset_ = other.offset_;
        length_ = other.length_;
        headers_ = std::move(other.headers_);
    }
    return *this;
}

HttpResponse::~HttpResponse()
{
    if (fd_ >= 0)
        CloseDescriptor(fd_);
}

HttpResponse HttpResponse::status(int code)
{
    HttpResponse r;
    r.code_ = code;
    return r;
}

HttpResponse HttpResponse::text(int code, std::string body, std::string type)
{
    HttpResponse r;
    r.code_ = code;
    r.owned_ = std::move(body);
    r.headers_.emplace_back("Content-Type", std::move(type));
    return r;
}

HttpResponse HttpResponse::view(int code, std::string_view bytes, std::string type)
{
    HttpResponse r;
    r.code_ = code;
    r.kind_ = BodyKind::View;
    r.view_ = bytes;
    r.headers_.emplace_back("Content-Type", std::move(type));
    return r;
}

HttpResponse HttpResponse::unsized(std::string_view bytes, std::string type)
{
    HttpResponse r = view(200, bytes, std::move(type));
    r.kind_ = BodyKind::Unsized;
    return r;
}

HttpResponse HttpResponse::file(int code, int fd, std::uint64_t offset, std::uint64_t length, std::string type)
{
    HttpResponse r;
    r.code_ = code;
    r.kind_ = BodyKind::File;
    r.fd_ = fd;
    r.offset_ = offset;
    r.length_ = length;
    r.headers_.emplace_back("Content-Type", std::move(type));
    return r;
}

HttpResponse HttpResponse::redirect(std::string location)
{
    HttpResponse r = status(302);
    r.header("Location", std::move(location));
    return r;
}

HttpResponse& HttpResponse::header(std::string name, std::string value) &
{
    headers_.emplace_back(std::move(name), std::move(value));
    return *this;
}

HttpResponse&& HttpResponse::header(std::string name, std::string value) &&
{
    headers_.emplace_back(std::move(name), std::move(value));
    return std::move(*this);
}

int HttpResponse::releaseFile() { return std::exchange(fd_, -1); }

ByteRange ResolveRange(std::string_view header, std::uint64_t size)
{
    ByteRange whole;
    whole.length = size;
    header = trimBlanks(header);
    constexpr std::string_view kUnit = "bytes=";
    if (header.substr(0, kUnit.size()) != kUnit)
        return whole;
    const std::string_view spec = trimBlanks(header.substr(kUnit.size()));
    if (spec.find(',') != std::string_view::npos)
        return whole;
    const std::size_t dash = spec.find('-');
    if (dash == std::string_view::npos)
        return whole;
    const std::string_view first = trimBlanks(spec.substr(0, dash));
    const std::string_view last = trimBlanks(spec.substr(dash + 1));

    ByteRange range;
    range.kind = ByteRange::Kind::Part;
    if (first.empty()) {
        // "bytes=-N": the last N bytes
        std::uint64_t suffix = 0;
        if (!readNumber(last, suffix))
            return whole;
        if (suffix == 0 || size == 0)
            return {ByteRange::Kind::Unsatisfiable, 0, 0};
        range.length = std::min(suffix, size);
        range.start = size - range.length;
        return range;
    }
    std::uint64_t start = 0;
    if (!readNumber(first, start))
        return whole;
    std::uint64_t end = size;   // one past the last byte
    if (!last.empty()) {
        std::uint64_t lastByte = 0;
        if (!readNumber(last, lastByte) || lastByte < start)
            return whole;
        end = lastByte >= size ? size : lastByte + 1;
    }
    if (start >= size)
        return {ByteRange::Kind::Unsatisfiable, 0, 0};
    range.start = start;
    range.length = end - start;
    return range;
}

}  // namespace quavrel::catalog
