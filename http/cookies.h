#pragma once
// CookieManager: the in-memory cookie store of an HTTP client. The client hands it every
// "Set-cookie" and "Set-cookie2" value it receives and asks it for the "Cookie" value
// before each request. Nothing is written to disk. The window's clients share one store
// for the whole run, from the search worker and the UI thread at once, so every call
// holds the store's lock.
//
// A server may send as many cookies as it likes, so the store keeps at most
// kMaxCookiesPerDomain per domain and kMaxCookies in all, and drops the oldest (the one
// first stored) to make room, as browsers do. A cookie is found by its name in constant
// time, so storing a head full of cookies takes time in proportion to its size.
#include <chrono>
#include <cstdint>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
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
// Whether a server at `host` may set a cookie for `domain`. An IPv6 host is written in
// brackets, as in its URL; its cookies belong to exactly that host.
bool CookieDomainAccepted(std::string_view domain, std::string_view host);
// Whether a cookie of `domain` goes to `host`: the host equals the domain or lies under
// it; letter case does not matter. An IPv6 host only gets the cookies of its own domain.
bool CookieDomainMatches(std::string_view domain, std::string_view host);

constexpr size_t kMaxCookiesPerDomain = 180;
constexpr size_t kMaxCookies = 3000;

class CookieManager {
public:
    using Clock = std::chrono::system_clock;

    // Stores one received value; a cookie that fails the acceptance test is dropped, and
    // so is one with a CR, LF or NUL byte, which would break the "Cookie" line it goes
    // back in.
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
    // Everything below runs with the lock held.
    struct Stored {
        Cookie cookie;
        uint64_t created;   // the store's count when this name was first stored here
    };
    struct Domain {
        std::string name;
        std::list<Stored> cookies;   // in storage order; a replaced cookie keeps its place
        std::unordered_map<std::string, std::list<Stored>::iterator> byName;   // lower-case name
    };
    using DomainList = std::list<Domain>;

    void store(Cookie cookie);
    void erase(DomainList::iterator domain, std::list<Stored>::iterator cookie);
    void dropOldest();
    void dropExpired(Clock::time_point now);

    mutable std::mutex mutex_;
    DomainList domains_;   // in the order the domains were first stored
    std::unordered_map<std::string, DomainList::iterator> domainByName_;   // lower-case name
    size_t count_ = 0;
    uint64_t stored_ = 0;
};

}  // namespace quavrel
