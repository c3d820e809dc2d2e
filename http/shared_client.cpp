#include "http/shared_client.h"

namespace quavrel {

SharedHttpClient::SharedHttpClient()
    : cookies_(std::make_shared<CookieManager>()), client_(std::make_shared<TIdHTTP>())
{
    client_->setCookieManager(cookies_);
}

std::string SharedHttpClient::GetText(const std::string& url)
{
    BusyFlag::Claim claim = inUse_.tryClaim();
    std::shared_ptr<TIdHTTP> client = client_;
    if (!claim) {
        client = std::make_shared<TIdHTTP>();
        client->setCookieManager(cookies_);
    }
    client->setRequestTimeLimit(requestTimeLimit());
    return client->GetText(url);
}

void SharedHttpClient::setRequestTimeLimit(std::chrono::milliseconds limit)
{
    std::lock_guard<std::mutex> lock(limitMutex_);
    limit_ = limit;   // reaches the shared client with its next request
}

std::chrono::milliseconds SharedHttpClient::requestTimeLimit() const
{
    std::lock_guard<std::mutex> lock(limitMutex_);
    return limit_;
}

bool SharedHttpClient::busy() const { return inUse_.busy(); }

}  // namespace quavrel
