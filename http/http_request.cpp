#include "http/http_request.h"

#include "http/http_errors.h"
#include "http/http_parse.h"
#include "http/url.h"

namespace quavrel {

namespace {
const char kContentType[] = "text/html";
const char kAccept[] = "text/html, */*";
const char kUserAgent[] = "Mozilla/3.0 (compatible; Indy Library)";
}  // namespace

RequestTarget ResolveTarget(std::string_view url, const RequestTarget& previous)
{
    if (HasLineBreakOrNul(url))
        throw EIdInvalidURL("URL contains a CR, LF or NUL byte");
    UrlParts parts = SplitUrl(url);
    RequestTarget target;
    target.path = parts.target();
    target.directory = parts.requestDirectory();
    if (!parts.hasAuthority) {
        target.host = previous.host;
        target.port = previous.port;
        target.portText = previous.portText;
        return target;
    }
    std::string scheme = parts.scheme.empty() ? std::string("http") : parts.scheme;
    if (EqualsNoCase(scheme, "https"))
        throw EIdIOHandlerPropInvalid("IOHandler value is not valid");
    if (!parts.port.empty()) {
        int32_t port = StrToInt(parts.port);
        if (port < 0 || port > 65535)
            throw EIdInvalidPort("Port number out of range: " + parts.port);
        target.port = static_cast<uint16_t>(port);
        target.portText = parts.port;
    } else if (!EqualsNoCase(scheme, "http")) {
        throw EIdUnknownProtocol("");
    }
    target.host = parts.host;
    return target;
}

std::string RequestText(HttpMethod method, const RequestTarget& target, bool basicCredential,
                        const std::string& cookie)
{
    std::string request = method == HttpMethod::Get ? "GET " : "HEAD ";
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
    if (!cookie.empty())
        header("Cookie", cookie);
    request += "\r\n";
    return request;
}

}  // namespace quavrel
