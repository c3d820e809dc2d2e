#include "http/body_destination.h"

#include "http/http_errors.h"

namespace quavrel {

namespace {
constexpr auto kProgressInterval = std::chrono::milliseconds(100);
}

BodyDestination BodyDestination::ToStream(std::string& stream, const Progress& progress)
{
    return BodyDestination(&stream, nullptr, progress);
}

BodyDestination BodyDestination::ToSink(const Sink& sink, const Progress& progress)
{
    return BodyDestination(nullptr, &sink, progress);
}

BodyProgress BodyDestination::throttledProgress(int64_t total)
{
    if (!progress_)
        return {};
    lastReport_ = std::chrono::steady_clock::now();
    return [this, total](int64_t received) {
        auto now = std::chrono::steady_clock::now();
        if (now - lastReport_ >= kProgressInterval) {
            lastReport_ = now;
            progress_(received, total);
        }
    };
}

void BodyDestination::receive(HttpInput& input, const HttpResponse& response, bool wholeRequired)
{
    const int64_t total = response.contentLength > 0 ? response.contentLength : -1;
    BodyProgress report = throttledProgress(total);
    auto checkWhole = [&](int64_t count) {
        if (wholeRequired && count < total)
            throw EIdConnClosedGracefully("Connection Closed Gracefully.");
    };
    int64_t count = 0;
    if (sink_) {
        ReadResponseBody(
            input, response, [&](const char* data, size_t size) {
                count += static_cast<int64_t>(size);
                (*sink_)(data, size);
            }, -1, report);
        checkWhole(count);
    } else {
        // Read aside, so that a failed body leaves the caller's stream as it was.
        std::string received;
        ReadResponseBody(input, response, received, -1, report);
        count = static_cast<int64_t>(received.size());
        checkWhole(count);
        if (stream_->empty())
            stream_->swap(received);
        else
            stream_->append(received);
    }
    if (progress_)
        progress_(count, total);
}

}  // namespace quavrel
