#pragma once
// Reads HTTP responses from a byte source: the status line, the header lines and the
// body in its three forms (counted, chunked, up to the close). The client reads from its
// socket connection; tests and the fuzzer read from byte strings.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "http/http_parse.h"

namespace quavrel {

// Bytes received but not yet consumed, and where more come from. Bytes left after one
// response stay here for the next response on the same connection.
class HttpInput {
public:
    virtual ~HttpInput() = default;

    // Cuts one line up to LF (a CR before it removed). Throws EIdConnClosedGracefully when
    // the source closes first, EIdReadLnMaxLineLengthExceeded for a line over 16,384 bytes.
    // waitLimitMs < 0: no limit on each wait for data.
    std::string readLine(int waitLimitMs = -1);
    // Receives more bytes; false once the source has closed.
    bool fill(int waitLimitMs = -1);
    size_t buffered() const { return end_ - begin_; }
    bool closed() const { return closed_; }
    // Moves `count` buffered bytes (at most buffered()) to the end of `out`.
    void take(std::string& out, size_t count);
    // The buffered bytes, and dropping the first `count` of them.
    std::string_view peek() const { return std::string_view(data_.data() + begin_, buffered()); }
    void consume(size_t count);
    void discardBuffer() { begin_ = end_ = 0; }

protected:
    // Receives up to `max` bytes into `into`: their count, 0 once the source has closed.
    // Throws on errors and when waitLimitMs passes without data.
    virtual size_t receive(char* into, size_t max, int waitLimitMs) = 0;
    void resetInput()
    {
        begin_ = end_ = 0;
        closed_ = false;
    }

private:
    std::vector<char> data_;
    size_t begin_ = 0;
    size_t end_ = 0;
    bool closed_ = false;
};

struct HttpResponse {
    std::string statusLine;
    int32_t statusCode = -1;
    HeaderList headers;
    int32_t contentLength = -1;
    bool headersCutShort = false;   // the source closed before the empty line

    void reset() { *this = HttpResponse(); }
};

// A response head is a few kilobytes (10,000 cookies are under 1 MiB); past this the
// server is flooding, not answering. The interim answers of a request ("100 Continue")
// count together with its final one.
constexpr size_t kMaxHeadBytes = 8u << 20;

// Reads a status line and header lines; throws EConvertError for an unreadable
// "Content-Range", and EIdHeadTooLarge once `headBytes` (the head bytes this request
// received before, updated here) passes kMaxHeadBytes.
void ReadResponseHead(HttpInput& input, HttpResponse& response, size_t& headBytes);
void ReadResponseHead(HttpInput& input, HttpResponse& response);

// Reads the body of a GET response and hands its bytes to `sink` as they come. A counted
// body that the source cuts short ends at the last complete 32,768-byte block without
// failure: the sink never sees the block that was being collected.
using BodySink = std::function<void(const char* data, size_t size)>;
using BodyProgress = std::function<void(int64_t received)>;
void ReadResponseBody(HttpInput& input, const HttpResponse& response, const BodySink& sink,
                      int waitLimitMs = -1, const BodyProgress& progress = {});
// The same into `out` (appended); a counted body is reserved at its full size first.
void ReadResponseBody(HttpInput& input, const HttpResponse& response, std::string& out,
                      int waitLimitMs = -1, const BodyProgress& progress = {});

// An input over a fixed byte string, handed out in pieces of `step` bytes, then a close.
class StringInput : public HttpInput {
public:
    explicit StringInput(std::string bytes, size_t step = kRecvBufferSize)
        : bytes_(std::move(bytes)), step_(step ? step : 1) {}

protected:
    size_t receive(char* into, size_t max, int waitLimitMs) override;

private:
    std::string bytes_;
    size_t step_;
    size_t pos_ = 0;
};

}  // namespace quavrel
