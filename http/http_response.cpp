#include "http/http_response.h"

#include <algorithm>
#include <cstring>

#include "http/http_errors.h"

namespace quavrel {

namespace {
// A counted body is reserved at its full size up front, so that it is never copied while
// it grows; but the header is only the server's word, so no more than this on its word.
constexpr size_t kMaxReserve = 1u << 30;

[[noreturn]] void raiseClosed() { throw EIdConnClosedGracefully("Connection Closed Gracefully."); }
}  // namespace

bool HttpInput::fill(int waitLimitMs)
{
    if (closed_)
        return false;
    if (data_.size() - end_ < kRecvBufferSize) {
        if (begin_ > 0 && (begin_ == end_ || begin_ >= data_.size() / 2)) {
            std::memmove(data_.data(), data_.data() + begin_, end_ - begin_);
            end_ -= begin_;
            begin_ = 0;
        }
        if (data_.size() - end_ < kRecvBufferSize)
            data_.resize(std::max(data_.size() * 2, end_ + kRecvBufferSize));
    }
    size_t got = receive(data_.data() + end_, kRecvBufferSize, waitLimitMs);
    if (got == 0) {
        closed_ = true;
        return false;
    }
    end_ += got;
    return true;
}

void HttpInput::take(std::string& out, size_t count)
{
    count = std::min(count, buffered());
    out.append(data_.data() + begin_, count);
    consume(count);
}

void HttpInput::consume(size_t count)
{
    begin_ += std::min(count, buffered());
    if (begin_ == end_)
        begin_ = end_ = 0;
}

std::string HttpInput::readLine(int waitLimitMs)
{
    size_t scanned = 0;
    for (;;) {
        const char* start = data_.data() + begin_;
        const char* lf = buffered() > scanned
                             ? static_cast<const char*>(std::memchr(start + scanned, '\n', buffered() - scanned))
                             : nullptr;
        if (lf) {
            size_t length = static_cast<size_t>(lf - start);
            size_t consumed = length + 1;
            if (length > 0 && start[length - 1] == '\r')
                --length;
            if (length > kMaxLineLength)
                throw EIdReadLnMaxLineLengthExceeded("Max line length exceeded.");
            std::string line(start, length);
            begin_ += consumed;
            if (begin_ == end_)
                begin_ = end_ = 0;
            return line;
        }
        scanned = buffered();
        // The line is already too long, whatever still comes (a CR may yet precede its LF).
        if (scanned > kMaxLineLength + 1)
            throw EIdReadLnMaxLineLengthExceeded("Max line length exceeded.");
        if (!fill(waitLimitMs))
            raiseClosed();
    }
}

void ReadResponseHead(HttpInput& input, HttpResponse& response, size_t& headBytes)
{
    auto count = [&](size_t bytes) {
        headBytes += bytes + 2;
        if (headBytes > kMaxHeadBytes)
            throw EIdHeadTooLarge("Response headers exceed 8 MiB.");
    };
    response.statusLine = input.readLine();
    response.statusCode = ParseStatusCode(response.statusLine);
    count(response.statusLine.size());
    for (;;) {
        std::string line;
        try {
            line = input.readLine();
        } catch (const EIdConnClosedGracefully&) {
            response.headersCutShort = true;
            break;
        }
        count(line.size());
        if (line.empty())
            break;
        response.headers.addLine(line);
    }
    response.contentLength =
        response.headers.has("Content-Length") ? ParseContentLength(response.headers.value("Content-Length")) : -1;
    CheckContentRange(response.headers.value("Content-Range"));
}

void ReadResponseHead(HttpInput& input, HttpResponse& response)
{
    size_t headBytes = 0;
    ReadResponseHead(input, response, headBytes);
}

void ReadResponseBody(HttpInput& input, const HttpResponse& response, const BodySink& sink, int waitLimitMs,
                      const BodyProgress& progress)
{
    int64_t received = 0;
    // Hands `count` buffered bytes on.
    auto pass = [&](size_t count) {
        if (count == 0)
            return;
        sink(input.peek().data(), count);
        input.consume(count);
        received += static_cast<int64_t>(count);
        if (progress)
            progress(received);
    };

    if (response.contentLength > 0) {
        size_t remaining = static_cast<size_t>(response.contentLength);
        size_t first = std::min(input.buffered(), remaining);
        pass(first);
        remaining -= first;
        while (remaining > 0) {
            size_t block = std::min(kRecvBufferSize, remaining);
            while (input.buffered() < block)
                if (!input.fill(waitLimitMs))
                    return;   // an early close drops the block being collected
            pass(block);
            remaining -= block;
        }
        return;
    }

    if (response.headers.value("Transfer-Encoding").find("chunked") != std::string::npos) {
        for (;;) {
            int32_t size = ParseChunkSize(input.readLine(waitLimitMs));
            if (size <= 0) {
                input.readLine(waitLimitMs);
                return;
            }
            size_t remaining = static_cast<size_t>(size);
            while (remaining > 0) {
                if (input.buffered() == 0 && !input.fill(waitLimitMs))
                    raiseClosed();
                size_t part = std::min(input.buffered(), remaining);
                pass(part);
                remaining -= part;
            }
            input.readLine(waitLimitMs);
        }
    }

    if (response.contentLength < 0) {
        do
            pass(input.buffered());
        while (input.fill(waitLimitMs));
    }
}

void ReadResponseBody(HttpInput& input, const HttpResponse& response, std::string& out, int waitLimitMs,
                      const BodyProgress& progress)
{
    if (response.contentLength > 0)
        out.reserve(out.size() + std::min(static_cast<size_t>(response.contentLength), kMaxReserve));
    ReadResponseBody(
        input, response, [&out](const char* data, size_t size) { out.append(data, size); }, waitLimitMs, progress);
}

size_t StringInput::receive(char* into, size_t max, int)
{
    size_t count = std::min({max, step_, bytes_.size() - pos_});
    std::memcpy(into, bytes_.data() + pos_, count);
    pos_ += count;
    return count;
}

}  // namespace quavrel
