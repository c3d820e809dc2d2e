#include "http/http_client.h"

#include <atomic>

#include "http/cookies.h"
#include "http/http_connection.h"
#include "http/http_parse.h"
#include "http/url.h"

namespace quavrel {

namespace {
constexpr int kFailureBodyWaitMs = 2000;
constexpr auto kProgressInterval = std::chrono::milliseconds(100);

const char kContentType[] = "text/html";
const char kAccept[] = "text/html, */*";
const char kUserAgent[] = "Mozilla/3.0 (compatible; Indy Library)";

enum class Method { Get, Head };

// Where one request goes, worked out from its URL before anything is sent.
struct Target {
    std::string host;
    uint16_t port = 80;
    std::string portText = "80";
    std::string path;        // the request target
    std::string directory;   // for cookie paths
};
}  // namespace

struct TIdHTTP::Impl {
    HttpConnection connection;
    HttpResponse response;
    std::unique_ptr<CookieManager> cookies;   // created with the first response
    bool keepAlive = false;                   // what the previous response allowed
    bool basicCredential = false;             // set by a 401 asking for Basic
    std::string lastHost;                     // for URLs without "://"
    uint16_t lastPort = 80;
    std::string lastPortText = "80";
    std::chrono::milliseconds requestLimit{0};
    ProgressFn progress;
    std::atomic<bool> busy{false};

    Target resolve(const std::string& url);
    void prepareConnection(const Target& target);
    std::string buildRequest(Method method, const Target& target);
    void readHead(const Target& target);
    void run(Method method, const std::string& url, std::string* body, const SinkFn* sink = nullptr);
    void exchange(Method method, const Target& target, std::string* body, const SinkFn* sink);
    bool mayStayOpen() const;
};

Target TIdHTTP::Impl::resolve(const std::string& url)
{
    UrlParts parts = SplitUrl(url);
    Target target;
    target.path = parts.target();
    target.directory = parts.requestDirectory();
    if (!parts.hasAuthority) {
        target.host = lastHost;
        target.port = lastPort;
        target.portText = lastPortText;
        return target;
    }
    std::string scheme = parts.scheme.empty() ? std::string("http") : parts.scheme;
    if (EqualsNoCase(scheme, "https"))
        throw EIdIOHandlerPropInvalid("IOHandler value is not valid");
    if (!parts.port.empty()) {
        int32_t port = StrToInt(parts.port);
        // A port that does not fit is as unusable as one that is no number.
        if (port < 0 || port > 65535)
            RaiseConvertError(parts.port);
        target.port = static_cast<uint16_t>(port);
        target.portText = parts.port;
    } else if (!EqualsNoCase(scheme, "http")) {
        throw EIdUnknownProtocol("");
    }
    target.host = parts.host;
    return target;
}

void TIdHTTP::Impl::prepareConnection(const Target& target)
{
    if (connection.isOpen() &&
        (!EqualsNoCase(connection.host(), target.host) || connection.port() != target.port || !keepAlive))
        connection.close();
    if (connection.isOpen())
        connection.dropIfClosedByServer();
    if (!connection.isOpen())
        connection.connect(target.host, target.port);
}

std::string TIdHTTP::Impl::buildRequest(Method method, const Target& target)
{
    std::string request = method == Method::Get ? "GET " : "HEAD ";
    request += target.path;
    request += " HTTP/1.1\r\n";
    auto header = [&](const char* name, const std::string& value) {
        for (const std::string& line : FoldHeaderLine(std::string(name) + ": " + value)) {
            request += line;
            request += "\r\n";
        }
    };
    header("Content-Type", kContentType);
    header("Host", target.portText == "80" ? target.host : target.host + ":" + target.portText);
    header("Accept", kAccept);
    header("User-Agent", kUserAgent);
    if (basicCredential)
        header("Authorization", "Basic " + Base64Encode(":"));
    if (cookies) {
        std::string value = cookies->CookieValue(target.host, target.directory);
        if (!value.empty())
            header("Cookie", value);
    }
    request += "\r\n";
    return request;
}

void TIdHTTP::Impl::readHead(const Target& target)
{
    for (;;) {
        response.reset();
        ReadResponseHead(connection, response);
        if (!cookies)
            cookies = std::make_unique<CookieManager>();
        for (const auto& [name, value] : response.headers.lines()) {
            if (EqualsNoCase(name, "Set-cookie"))
                cookies->AddCookie(value, target.host, false);
            else if (EqualsNoCase(name, "Set-cookie2"))
                cookies->AddCookie(value, target.host, true);
        }
        if (response.statusCode != 100)
            return;
    }
}

bool TIdHTTP::Impl::mayStayOpen() const
{
    auto saysClose = [&](const char* name) { return EqualsNoCase(TrimView(response.headers.value(name)), "CLOSE"); };
    return connection.isOpen() && !connection.closed() && !saysClose("Connection") && !saysClose("Proxy-Connection");
}

void TIdHTTP::Impl::exchange(Method method, const Target& target, std::string* body, const SinkFn* sink)
{
    prepareConnection(target);
    connection.send(buildRequest(method, target));
    readHead(target);

    const int32_t code = response.statusCode;
    const bool redirect = (code >= 300 && code <= 399 && code != 304) || !response.headers.value("Location").empty();
    if (redirect || code < 200 || code > 299) {
        if (code == 401 && StartsWithNoCase(response.headers.value("WWW-Authenticate"), "Basic"))
            basicCredential = true;
        // The answer's body is read and thrown away, a HEAD answer's announced one too.
        ReadResponseBody(connection, response, [](const char*, size_t) {}, kFailureBodyWaitMs);
        keepAlive = mayStayOpen();
        if (!keepAlive)
            connection.close();
        throw EIdHTTPProtocolException(response.statusLine);
    }
    if (connection.closed() && connection.buffered() == 0)
        throw EIdException("Undefined situation");

    if (method == Method::Get && code != 204) {
        const int64_t total = response.contentLength > 0 ? response.contentLength : -1;
        auto last = std::chrono::steady_clock::now();
        BodyProgress report;
        if (progress) {
            report = [&](int64_t received) {
                auto now = std::chrono::steady_clock::now();
                if (now - last >= kProgressInterval) {
                    last = now;
                    progress(received, total);
                }
            };
        }
        int64_t count = 0;
        if (sink) {
            ReadResponseBody(
                connection, response, [&](const char* data, size_t size) {
                    count += static_cast<int64_t>(size);
                    (*sink)(data, size);
                }, -1, report);
        } else {
            // Read aside, so that a failed body leaves the caller's stream as it was.
            std::string received;
            ReadResponseBody(connection, response, received, -1, report);
            count = static_cast<int64_t>(received.size());
            if (body->empty())
                body->swap(received);
            else
                body->append(received);
        }
        if (progress)
            progress(count, total);
    }
    keepAlive = mayStayOpen();
    if (!keepAlive)
        connection.close();
}

void TIdHTTP::Impl::run(Method method, const std::string& url, std::string* body, const SinkFn* sink)
{
    if (busy.exchange(true))
        throw EIdClientBusy("The connection is busy with another request.");
    struct Release {
        std::atomic<bool>& flag;
        ~Release() { flag.store(false); }
    } release{busy};

    response.reset();
    if (requestLimit.count() > 0)
        connection.setDeadline(std::chrono::steady_clock::now() + requestLimit);
    else
        connection.setDeadline(std::nullopt);
    try {
        Target target = resolve(url);
        lastHost = target.host;
        lastPort = target.port;
        lastPortText = target.portText;
        exchange(method, target, body, sink);
    } catch (const EIdHTTPProtocolException&) {
        throw;   // the connection was already kept or closed by the keep-alive rule
    } catch (...) {
        keepAlive = false;
        connection.close();
        throw;
    }
}

TIdHTTP::TIdHTTP() : impl_(std::make_unique<Impl>()) {}

TIdHTTP::~TIdHTTP() = default;

std::string TIdHTTP::GetText(const std::string& url)
{
    std::string body;
    impl_->run(Method::Get, url, &body);
    return body;
}

void TIdHTTP::Head(const std::string& url) { impl_->run(Method::Head, url, nullptr); }

void TIdHTTP::GetToStream(const std::string& url, std::string& stream)
{
    impl_->run(Method::Get, url, &stream);
}

void TIdHTTP::GetToSink(const std::string& url, const SinkFn& sink)
{
    impl_->run(Method::Get, url, nullptr, &sink);
}

const std::string& TIdHTTP::StatusLine() const { return impl_->response.statusLine; }
int32_t TIdHTTP::StatusCode() const { return impl_->response.statusCode; }
int32_t TIdHTTP::ContentLength() const { return impl_->response.contentLength; }
bool TIdHTTP::busy() const { return impl_->busy.load(); }

void TIdHTTP::setRequestTimeLimit(std::chrono::milliseconds limit) { impl_->requestLimit = limit; }
void TIdHTTP::setProgress(ProgressFn progress) { impl_->progress = std::move(progress); }

}  // namespace quavrel
