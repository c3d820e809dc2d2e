#pragma once
// BodyDestination: where the client puts the body of a GET, and the progress reports on
// the way. Either the caller's stream, which gets the body only once all of it has
// arrived (a failed body leaves the stream as it was), or a sink fed as the bytes come.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "http/http_response.h"

namespace quavrel {

class BodyDestination {
public:
    using Sink = std::function<void(const char* data, size_t size)>;
    // Bytes so far and the announced total (-1 when unknown).
    using Progress = std::function<void(int64_t received, int64_t total)>;

    static BodyDestination ToStream(std::string& stream, const Progress& progress);
    static BodyDestination ToSink(const Sink& sink, const Progress& progress);

    // Reads the body that `response` announces from `input`. With `wholeRequired` a
    // counted body that ends early fails with EIdConnClosedGracefully, and a stream does
    // not get any of it.
    void receive(HttpInput& input, const HttpResponse& response, bool wholeRequired);

private:
    BodyDestination(std::string* stream, const Sink* sink, Progress progress)
        : stream_(stream), sink_(sink), progress_(std::move(progress)) {}
    // Reports at most every kProgressInterval while the body arrives.
    BodyProgress throttledProgress(int64_t total);

    std::string* stream_;
    const Sink* sink_;
    Progress progress_;
    std::chrono::steady_clock::time_point lastReport_;
};

}  // namespace quavrel
