#pragma once
// CookieManager: the in-memory cookie store of an HTTP client. The client hands it every
// "Set-cookie" and "Set-cookie2" value it receives and asks it for the "Cookie" value
// before each request. Nothing is written to disk. The window's clients share one store
// for the whole run, from the search worker and the UI thread at once, so every call
// holds the store's lock.
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quavrel {

struct Cookie {
    std::string name;
    std::string value;
    std::string domain;
    std::string path;                  // empty: stored without a path, never sent
    std::optional<std::string> expires;                       // the "expires" text as received
    std::optional<std::chrono::system_clock::time_point> expiry;  // from "max-age"
    bool secure = false;
    std::string version;
    std::string maxAge;
    std::string comment;
};

// Reads one "Set-cookie" (cookie2 false) or "Set-cookie2" value. A missing domain becomes
// `host`. Throws EConvertError for a "Set-cookie2" port list with a non-integer entry.
Cookie ParseSetCookie(std::string_view header, const std::string& host, bool cookie2,
                      std::chrono::system_clock::time_point now);
// Whether a server at `host` may set a cookie for `domain`.
bool CookieDomainAccepted(std::string_view domain, std::string_view host);
// Whether a cookie of `domain` goes to `host`: the host equals the domain or lies under
// it; letter case does not matter.
bool CookieDomainMatches(std::string_view domain, std::string_view host);

class CookieManager {
public:
    using Clock = std::chrono::system_clock;

    // Stores one received value; a cookie that fails the acceptance test is dropped.
    void AddCookie(std::string_view header, const std::string& host, bool cookie2,
                   Clock::time_point now = Clock::now());
    // The "Cookie" value for a request to `host` whose directory is `directory` (starts
    // with "/"); empty when no cookie goes. Drops expired cookies first.
    std::string CookieValue(std::string_view host, std::string_view directory,
                            Clock::time_point now = Clock::now());
    // Every stored cookie: by domain in the order the domains were first stored, then in
    // storage order within a domain.
    std::vector<Cookie> cookies() const;

private:
    void dropExpired(Clock::time_point now);   // with the lock held

    struct Domain {
        std::string name;
        std::vector<Cookie> cookies;
    };
    mutable std::mutex mutex_;
    std::vector<Domain> domains_;
};

}  // namespace quavrel
