#pragma once
// TIdHTTP: the program's own blocking HTTP/1.1 client over plain TCP. One request at a
// time per object (a second one while busy throws EIdClientBusy); any thread may use it.
// Keeps one connection and an in-memory cookie store between requests. Follows no
// redirect. On the user-interface thread every wait lets the window handle its messages.
// Callers that share a client (or may lose it in a message handler run during a wait)
// hold it by shared_ptr and keep a copy alive for the whole request: the object must not
// be destroyed while one of its requests runs.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "http/http_errors.h"

namespace quavrel {

class CookieManager;

class TIdHTTP {
public:
    TIdHTTP();
    ~TIdHTTP();
    TIdHTTP(const TIdHTTP&) = delete;
    TIdHTTP& operator=(const TIdHTTP&) = delete;

    // GET; returns the body bytes unchanged (empty for 204).
    std::string GetText(const std::string& url);
    // HEAD; afterwards read StatusCode() and ContentLength().
    void Head(const std::string& url);
    // GET; appends the body bytes to `stream`.
    void GetToStream(const std::string& url, std::string& stream);

    // GET; hands the body bytes to `sink` as they arrive, for bodies too large to hold in
    // memory. After a failure the sink may have had part of the body; the caller drops it.
    using SinkFn = std::function<void(const char* data, size_t size)>;
    void GetToSink(const std::string& url, const SinkFn& sink);

    const std::string& StatusLine() const;
    int32_t StatusCode() const;      // -1 when the status line has none
    int32_t ContentLength() const;   // -1 when missing or unreadable
    bool busy() const;

    // Beyond the designed client: a limit on the whole request (connect, write, answer
    // and body). When it passes, the request fails with EIdReadTimeout. Zero: no limit.
    void setRequestTimeLimit(std::chrono::milliseconds limit);
    // Called on the requesting thread while a body arrives: bytes so far and the announced
    // total (-1 when unknown).
    using ProgressFn = std::function<void(int64_t received, int64_t total)>;
    void setProgress(ProgressFn progress);
    // Beyond the designed client: a counted body that the server cuts short fails with
    // EIdConnClosedGracefully instead of ending at its last complete block. For callers
    // that keep the body as a file: a song cut short is a broken song.
    void setWholeBodyRequired(bool required);
    // Keeps cookies in `store` instead of a store of its own, so that several clients can
    // share one (the store is safe for use by several threads). Set between requests.
    void setCookieManager(std::shared_ptr<CookieManager> store);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace quavrel
