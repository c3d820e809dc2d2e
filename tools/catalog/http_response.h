#pragma once
// One answer of the catalogue service, as a handler builds it: a status, a few headers and
// a body that is either bytes of its own, bytes that outlive the server, an open file (sent
// with sendfile, never read into memory) or bytes sent without an announced length.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quavrel::catalog {

class HttpResponse {
public:
    enum class BodyKind { Owned, View, File, Unsized };

    HttpResponse(HttpResponse&& other) noexcept;
    HttpResponse& operator=(HttpResponse&& other) noexcept;
    ~HttpResponse();

    static HttpResponse status(int code);
    static HttpResponse text(int code, std::string body, std::string type);
    // `bytes` must stay valid until the server has stopped.
    static HttpResponse view(int code, std::string_view bytes, std::string type);
    // No Content-Length: chunked on HTTP/1.1. `bytes` must outlive the server.
    static HttpResponse unsized(std::string_view bytes, std::string type);
    // Takes `fd`, which is closed with the response.
    static HttpResponse file(int code, int fd, std::uint64_t offset, std::uint64_t length, std::string type);
    static HttpResponse redirect(std::string location);

    HttpResponse& header(std::string name, std::string value) &;
    HttpResponse&& header(std::string name, std::string value) &&;

    int code() const { return code_; }
    BodyKind kind() const { return kind_; }
    const std::string& owned() const { return owned_; }
    std::string_view bytes() const { return kind_ == BodyKind::Owned ? std::string_view(owned_) : view_; }
    const std::vector<std::pair<std::string, std::string>>& headers() const { return headers_; }
    // Hands the open file over to the server; the response no longer closes it.
    int releaseFile();
    std::uint64_t fileOffset() const { return offset_; }
    std::uint64_t fileLength() const { return length_; }

private:
    HttpResponse() = default;

    int code_ = 200;
    BodyKind kind_ = BodyKind::Owned;
    std::string owned_;
    std::string_view view_;
    int fd_ = -1;
    std::uint64_t offset_ = 0;
    std::uint64_t length_ = 0;
    std::vector<std::pair<std::string, std::string>> headers_;
};

// A Range header read against a body of `size` bytes. Only one range is honoured: a
// request for several, or a header that does not parse, gets the whole body; a range that
// starts past the end is unsatisfiable; one that runs past the end is cut there.
struct ByteRange {
    enum class Kind { Whole, Part, Unsatisfiable } kind = Kind::Whole;
    std::uint64_t start = 0;
    std::uint64_t length = 0;
};
ByteRange ResolveRange(std::string_view header, std::uint64_t size);

// The answer for a body of `size` bytes under a Range header: 200 with the whole body,
// 206 with the range and its Content-Range, or 416. `body(start, length)` builds the
// response for the bytes to send.
template <typename BodyFn>
HttpResponse RangedResponse(std::string_view rangeHeader, std::uint64_t size, BodyFn&& body)
{
    const ByteRange range = ResolveRange(rangeHeader, size);
    if (range.kind == ByteRange::Kind::Unsatisfiable) {
        HttpResponse r = HttpResponse::status(416);
        r.header("Content-Range", "bytes */" + std::to_string(size));
        return r;
    }
    if (range.kind == ByteRange::Kind::Whole)
        return body(200, 0, size);
    HttpResponse r = body(206, range.start, range.length);
    r.header("Content-Range", "bytes " + std::to_string(range.start) + "-" +
                                  std::to_string(range.start + range.length - 1) + "/" + std::to_string(size));
    return r;
}

}  // namespace quavrel::catalog
