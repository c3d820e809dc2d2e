#pragma once
// SharedHttpClient: the window's `httpClient`, used by the search worker, the next page
// and the hot list. A request takes the shared client when it is free; a request that
// finds it busy (another thread's request, or one interrupted by a click handled during
// a wait on the UI thread) runs on a fresh client with the same settings instead of
// waiting, so the UI thread never freezes behind a worker and a nested request never
// waits for the one it interrupted. The fresh clients keep their cookies in the shared
// client's store, so the run has one store whichever client served a request. Every
// request holds the client it uses by shared_ptr, and callers hold this object by
// shared_ptr, so closing the window during a request destroys nothing under it.
#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "http/busy_flag.h"
#include "http/cookies.h"
#include "http/http_client.h"

namespace quavrel {

class SharedHttpClient {
public:
    SharedHttpClient();

    // GET through the shared client, or a fresh one when it is busy. Throws what the
    // client throws.
    std::string GetText(const std::string& url);

    // Applied to the shared client and to every fresh one. Zero: no limit.
    void setRequestTimeLimit(std::chrono::milliseconds limit);

    // True while a request runs on the shared client itself.
    bool busy() const;

private:
    std::chrono::milliseconds requestTimeLimit() const;

    std::shared_ptr<CookieManager> cookies_;
    std::shared_ptr<TIdHTTP> client_;
    BusyFlag inUse_;
    mutable std::mutex limitMutex_;
    std::chrono::milliseconds limit_{0};
};

}  // namespace quavrel
