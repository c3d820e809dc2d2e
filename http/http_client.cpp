#include "http/http_client.h"

#include "http/body_destination.h"
#include "http/busy_flag.h"
#include "http/cookies.h"
#include "http/http_connection.h"
#include "http/http_parse.h"
#include "http/http_request.h"

namespace quavrel {

namespace {
constexpr int kFailureBodyWaitMs = 2000;
}  // namespace

struct TIdHTTP::Impl {
    HttpConnection connection;
    HttpResponse response;
    std::shared_ptr<CookieManager> cookies;   // created with the first response unless shared
    bool keepAlive = false;                   // what the previous response allowed
    bool basicCredential = false;             // set by a 401 asking for Basic
    RequestTarget last;                       // where URLs without "://" go
    std::chrono::milliseconds requestLimit{0};
    ProgressFn progress;
    BusyFlag busy;

    void run(HttpMethod method, const std::string& url, BodyDestination* body);
    void exchange(HttpMethod method, const RequestTarget& target, BodyDestination* body);
    void prepareConnection(const RequestTarget& target);
    std::string cookieValue(const RequestTarget& target) const;
    void readHead(const RequestTarget& target);
    void storeCookies(const RequestTarget& target);
    [[noreturn]] void failWithStatus();
    bool foundClosed() const;
    void keepOrClose();
};

void TIdHTTP::Impl::run(HttpMethod method, const std::string& url, BodyDestination* body)
{
    BusyFlag::Claim claim = busy.tryClaim();
    if (!claim)
        throw EIdClientBusy("The connection is busy with another request.");
    response.reset();
    // A URL that fails here has sent nothing, so the open connection stays as it was.
    RequestTarget target = ResolveTarget(url, last);
    last = target;
    if (requestLimit.count() > 0)
        connection.setDeadline(std::chrono::steady_clock::now() + requestLimit);
    else
        connection.setDeadline(std::nullopt);
    try {
        exchange(method, target, body);
    } catch (const EIdHTTPProtocolException&) {
        throw;   // the connection was already kept or closed by the keep-alive rule
    } catch (...) {
        keepAlive = false;
        connection.close();
        throw;
    }
}

// The protocol of one request, from the connection to the keep-alive decision.
void TIdHTTP::Impl::exchange(HttpMethod method, const RequestTarget& target, BodyDestination* body)
{
    prepareConnection(target);
    connection.send(RequestText(method, target, basicCredential, cookieValue(target)));
    readHead(target);

    const int32_t code = response.statusCode;
    const bool redirect = (code >= 300 && code <= 399 && code != 304) || !response.headers.value("Location").empty();
    if (redirect || code < 200 || code > 299)
        failWithStatus();
    if (foundClosed())
        throw EIdException("Undefined situation");
    // A HEAD answer announces a length but never carries a body; a 204 has none either.
    if (method == HttpMethod::Get && code != 204)
        body->receive(connection, response);
    keepOrClose();
}

void TIdHTTP::Impl::prepareConnection(const RequestTarget& target)
{
    if (connection.isOpen() &&
        (!EqualsNoCase(connection.host(), target.host) || connection.port() != target.port || !keepAlive))
        connection.close();
    if (connection.isOpen())
        connection.dropIfClosedByServer();
    if (!connection.isOpen())
        connection.connect(target.host, target.port);
}

std::string TIdHTTP::Impl::cookieValue(const RequestTarget& target) const
{
    return cookies ? cookies->CookieValue(target.host, target.directory) : std::string();
}

void TIdHTTP::Impl::readHead(const RequestTarget& target)
{
    for (;;) {
        response.reset();
        ReadResponseHead(connection, response);
        // The server closed inside the head: the lines so far are all there is, and the
        // connection is dropped with whatever part of a line came.
        if (response.headersCutShort)
            connection.close();
        storeCookies(target);
        if (response.statusCode != 100)
            return;
    }
}

void TIdHTTP::Impl::storeCookies(const RequestTarget& target)
{
    if (!cookies)
        cookies = std::make_shared<CookieManager>();
    for (const auto& [name, value] : response.headers.lines()) {
        if (EqualsNoCase(name, "Set-cookie"))
            cookies->AddCookie(value, target.host, false);
        else if (EqualsNoCase(name, "Set-cookie2"))
            cookies->AddCookie(value, target.host, true);
    }
}

void TIdHTTP::Impl::failWithStatus()
{
    if (response.statusCode == 401 && StartsWithNoCase(response.headers.value("WWW-Authenticate"), "Basic"))
        basicCredential = true;
    // The answer's body is read and thrown away, a HEAD answer's announced one too.
    ReadResponseBody(connection, response, [](const char*, size_t) {}, kFailureBodyWaitMs);
    keepOrClose();
    throw EIdHTTPProtocolException(response.statusLine);
}

bool TIdHTTP::Impl::foundClosed() const
{
    return !connection.isOpen() || (connection.closed() && connection.buffered() == 0);
}

// The connection stays open unless it is gone or the answer said "close".
void TIdHTTP::Impl::keepOrClose()
{
    auto saysClose = [&](const char* name) { return EqualsNoCase(TrimView(response.headers.value(name)), "CLOSE"); };
    keepAlive = connection.isOpen() && !connection.closed() && !saysClose("Connection") &&
                !saysClose("Proxy-Connection");
    if (!keepAlive)
        connection.close();
}

TIdHTTP::TIdHTTP() : impl_(std::make_unique<Impl>()) {}

TIdHTTP::~TIdHTTP() = default;

std::string TIdHTTP::GetText(const std::string& url)
{
    std::string body;
    BodyDestination destination = BodyDestination::ToStream(body, impl_->progress);
    impl_->run(HttpMethod::Get, url, &destination);
    return body;
}

void TIdHTTP::Head(const std::string& url) { impl_->run(HttpMethod::Head, url, nullptr); }

void TIdHTTP::GetToStream(const std::string& url, std::string& stream)
{
    BodyDestination destination = BodyDestination::ToStream(stream, impl_->progress);
    impl_->run(HttpMethod::Get, url, &destination);
}

void TIdHTTP::GetToSink(const std::string& url, const SinkFn& sink)
{
    BodyDestination destination = BodyDestination::ToSink(sink, impl_->progress);
    impl_->run(HttpMethod::Get, url, &destination);
}

const std::string& TIdHTTP::StatusLine() const { return impl_->response.statusLine; }
int32_t TIdHTTP::StatusCode() const { return impl_->response.statusCode; }
int32_t TIdHTTP::ContentLength() const { return impl_->response.contentLength; }
bool TIdHTTP::busy() const { return impl_->busy.busy(); }

void TIdHTTP::setRequestTimeLimit(std::chrono::milliseconds limit) { impl_->requestLimit = limit; }
void TIdHTTP::setProgress(ProgressFn progress) { impl_->progress = std::move(progress); }
void TIdHTTP::setCookieManager(std::shared_ptr<CookieManager> store) { impl_->cookies = std::move(store); }

}  // namespace quavrel
