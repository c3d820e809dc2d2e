#include "http/cookies.h"

#include <algorithm>

#include "http/http_date.h"
#include "http/http_parse.h"
#include "platform/bytes.h"
#include "platform/integer_text.h"
#include "http/url.h"

namespace quavrel {

namespace {
std::vector<std::string_view> splitItems(std::string_view text, char separator)
{
    std::vector<std::string_view> items;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(separator, start);
        items.push_back(TrimView(text.substr(start, end == std::string_view::npos ? end : end - start)));
        if (end == std::string_view::npos)
            return items;
        start = end + 1;
    }
}

std::string_view unquote(std::string_view text)
{
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        return text.substr(1, text.size() - 2);
    return text;
}

// Case-insensitive "a > b" for byte strings.
bool greaterNoCase(const std::string& a, const std::string& b)
{
    return LowerAscii(a) > LowerAscii(b);
}
}  // namespace

Cookie ParseSetCookie(std::string_view header, const std::string& host, bool cookie2,
                      std::chrono::system_clock::time_point now)
{
    Cookie cookie;
    std::vector<std::string_view> items = splitItems(header, ';');
    std::string_view first = items.front();
    size_t eq = first.find('=');
    cookie.name = std::string(first.substr(0, eq));
    if (eq != std::string_view::npos)
        cookie.value = std::string(first.substr(eq + 1));

    for (size_t i = 1; i < items.size(); ++i) {
        std::string_view item = items[i];
        size_t sep = item.find('=');
        std::string_view name = TrimView(item.substr(0, sep));
        std::string_view value = sep == std::string_view::npos ? std::string_view() : TrimView(item.substr(sep + 1));
        if (EqualsNoCase(name, "PATH"))
            cookie.path = std::string(unquote(value));
        else if (EqualsNoCase(name, "EXPIRES"))
            cookie.expires = std::string(value);
        else if (EqualsNoCase(name, "DOMAIN"))
            cookie.domain = std::string(value);
        else if (EqualsNoCase(name, "SECURE"))
            cookie.secure = true;
        else if (EqualsNoCase(name, "MAX-AGE"))
            cookie.maxAge = std::string(value);
        else if (EqualsNoCase(name, "VERSION"))
            cookie.version = std::string(value);
        else if (EqualsNoCase(name, "COMMENT"))
            cookie.comment = std::string(value);
        else if (cookie2 && EqualsNoCase(name, "PORT") && value.size() >= 2 && value.front() == '"' &&
                 value.back() == '"')
            for (std::string_view port : splitItems(unquote(value), ','))
                StrToInt(port);
    }
    int32_t maxAge;
    if (!cookie.expires && ReadInteger(cookie.maxAge, maxAge) && maxAge >= 0)
        cookie.expiry = now + std::chrono::seconds(maxAge);
    if (cookie.domain.empty())
        cookie.domain = host;
    return cookie;
}

namespace {
// IPv6 hosts are written in brackets, as in URLs.
bool isIpv6Host(std::string_view host) { return !host.empty() && host[0] == '['; }
}  // namespace

bool CookieDomainAccepted(std::string_view domain, std::string_view host)
{
    uint32_t address;
    if (ParseIpv4(host, address) || isIpv6Host(host) || domain.empty() || domain[0] != '.')
        return domain == host;
    size_t dot = host.find('.');
    return dot != std::string_view::npos && domain == host.substr(dot);
}

bool CookieDomainMatches(std::string_view domain, std::string_view host)
{
    if (domain.empty())
        return false;
    if (EqualsNoCase(domain, host))
        return true;
    if (isIpv6Host(host))
        return false;
    std::string suffix = domain[0] == '.' ? std::string(domain) : "." + std::string(domain);
    return host.size() > suffix.size() && EqualsNoCase(host.substr(host.size() - suffix.size()), suffix);
}

void CookieManager::AddCookie(std::string_view header, const std::string& host, bool cookie2,
                              Clock::time_point now)
{
    if (HasLineBreakOrNul(header))
        return;
    Cookie cookie = ParseSetCookie(header, host, cookie2, now);
    if (!CookieDomainAccepted(cookie.domain, host))
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    store(std::move(cookie));
}

void CookieManager::store(Cookie cookie)
{
    const std::string domainKey = LowerAscii(cookie.domain);
    auto found = domainByName_.find(domainKey);
    if (found == domainByName_.end()) {
        domains_.push_back(Domain{cookie.domain, {}, {}});
        found = domainByName_.emplace(domainKey, std::prev(domains_.end())).first;
    }
    Domain& domain = *found->second;
    std::string nameKey = LowerAscii(cookie.name);
    auto same = domain.byName.find(nameKey);
    if (same != domain.byName.end()) {
        same->second->cookie = std::move(cookie);
        return;
    }
    domain.cookies.push_back(Stored{std::move(cookie), stored_++});
    domain.byName.emplace(std::move(nameKey), std::prev(domain.cookies.end()));
    ++count_;
    // The domain's oldest cookie is the first in its list.
    if (domain.cookies.size() > kMaxCookiesPerDomain)
        erase(found->second, domain.cookies.begin());
    if (count_ > kMaxCookies)
        dropOldest();
}

void CookieManager::erase(DomainList::iterator domain, std::list<Stored>::iterator cookie)
{
    domain->byName.erase(LowerAscii(cookie->cookie.name));
    domain->cookies.erase(cookie);
    --count_;
    if (domain->cookies.empty()) {
        domainByName_.erase(LowerAscii(domain->name));
        domains_.erase(domain);
    }
}

// The oldest cookie of the store is the oldest of some domain.
void CookieManager::dropOldest()
{
    auto oldest = domains_.end();
    for (auto domain = domains_.begin(); domain != domains_.end(); ++domain) {
        if (oldest == domains_.end() || domain->cookies.front().created < oldest->cookies.front().created)
            oldest = domain;
    }
    if (oldest != domains_.end())
        erase(oldest, oldest->cookies.begin());
}

void CookieManager::dropExpired(Clock::time_point now)
{
    const int64_t nowSeconds = std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
    auto expired = [&](const Cookie& c) {
        if (c.expires) {
            std::optional<int64_t> at = ParseCookieDate(*c.expires);
            return !at || *at <= nowSeconds;
        }
        return c.expiry && *c.expiry <= now;
    };
    for (auto domain = domains_.begin(); domain != domains_.end();) {
        auto next = std::next(domain);
        std::vector<std::list<Stored>::iterator> gone;
        for (auto cookie = domain->cookies.begin(); cookie != domain->cookies.end(); ++cookie)
            if (expired(cookie->cookie))
                gone.push_back(cookie);
        for (auto cookie : gone)
            erase(domain, cookie);   // the last one may take the domain with it
        domain = next;
    }
}

std::string CookieManager::CookieValue(std::string_view host, std::string_view directory, Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(mutex_);
    dropExpired(now);
    std::vector<const Cookie*> chosen;
    for (const Domain& domain : domains_) {
        if (!CookieDomainMatches(domain.name, host))
            continue;
        // Within a domain the most recently stored cookie goes first.
        for (auto it = domain.cookies.rbegin(); it != domain.cookies.rend(); ++it) {
            const Cookie& c = it->cookie;
            if (!c.path.empty() && directory.substr(0, c.path.size()) == c.path && !c.value.empty() && !c.secure)
                chosen.push_back(&c);
        }
    }
    std::stable_sort(chosen.begin(), chosen.end(),
                     [](const Cookie* a, const Cookie* b) { return greaterNoCase(a->path, b->path); });
    std::string value;
    for (const Cookie* c : chosen) {
        if (!value.empty())
            value += "; ";
        value += c->name + "=" + c->value;
    }
    return value;
}

std::vector<Cookie> CookieManager::cookies() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Cookie> all;
    for (const Domain& domain : domains_)
        for (const Stored& stored : domain.cookies)
            all.push_back(stored.cookie);
    return all;
}

}  // namespace quavrel
