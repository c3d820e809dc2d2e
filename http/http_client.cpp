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
    bool wholeBodyRequired = false;
    ProgressFn progress;
    BusyFlag busy;
    // Of the request in progress: whether it went out on a connection kept from an
    // earlier request, and the connection's byte count when it went.
    bool keptConnection = false;
    bool sentOnKeptConnection = false;
    uint64_t receivedBeforeAnswer = 0;

    void run(HttpMethod method, const std::string& url, BodyDestination* body);
    void exchange(HttpMethod method, const RequestTarget& target, BodyDestination* body);
    bool closedUnanswered(const EIdException& failure) const;
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
    for (bool firstTry = true;; firstTry = false) {
        try {
            exchange(method, target, body);
            return;
        } catch (const EIdHTTPProtocolException&) {
            throw;   // the connection was already kept or closed by the keep-alive rule
        } catch (const EIdException& e) {
            const bool retry = firstTry && closedUnanswered(e);
            keepAlive = false;
            connection.close();
            if (!retry)
                throw;
        } catch (...) {
            keepAlive = false;
            connection.close();
            throw;
        }
    }
}

// A server may close a kept connection while it is idle, and the close may cross the next
// request on the way. Such a request got no byte of an answer, so the server did nothing
// with it, and a GET or HEAD is sent once more on a fresh connection.
bool TIdHTTP::Impl::closedUnanswered(const EIdException& failure) const
{
    const bool lost = dynamic_cast<const EIdConnClosedGracefully*>(&failure) ||
                      (dynamic_cast<const EIdSocketError*>(&failure) &&
                       !dynamic_cast<const EIdConnectException*>(&failure));
    return lost && sentOnKeptConnection && connection.bytesReceived() == receivedBeforeAnswer;
}

// The protocol of one request, from the connection to the keep-alive decision.
void TIdHTTP::Impl::exchange(HttpMethod method, const RequestTarget& target, BodyDestination* body)
{
    sentOnKeptConnection = false;
    prepareConnection(target);
    // Bytes already waiting belong to an answer the server sent early.
    sentOnKeptConnection = keptConnection && connection.buffered() == 0;
    receivedBeforeAnswer = connection.bytesReceived();
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
        body->receive(connection, response, wholeBodyRequired);
    keepOrClose();
}

void TIdHTTP::Impl::prepareConnection(const RequestTarget& target)
{
    if (connection.isOpen() &&
        (!EqualsNoCase(connection.host(), target.host) || connection.port() != target.port || !keepAlive))
        connection.close();
    if (connection.isOpen())
        connection.dropIfClosedByServer();
    keptConnection = connection.isOpen();
    if (!connection.isOpen())
        connection.connect(target.host, target.port);
}

std::string TIdHTTP::Impl::cookieValue(const RequestTarget& target) const
{
    return cookies ? cookies->CookieValue(target.host, target.directory) : std::string();
}

void TIdHTTP::Impl::readHead(const RequestTarget& target)
{
    size_t headBytes = 0;
    for (;;) {
        response.reset();
        ReadResponseHead(connection, response, headBytes);
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
void TIdHTTP::setWholeBodyRequired(bool required) { impl_->wholeBodyRequired = required; }
void TIdHTTP::setCookieManager(std::shared_ptr<CookieManager> store) { impl_->cookies = std::move(store); }

}  // namespace quavrel
