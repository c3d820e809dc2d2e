#include "http/shared_client.h"

namespace quavrel {

SharedHttpClient::SharedHttpClient() : client_(std::make_shared<TIdHTTP>()) {}

std::shared_ptr<TIdHTTP> SharedHttpClient::acquire(bool& shared)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!inUse_) {
        inUse_ = true;
        shared = true;
        client_->setRequestTimeLimit(limit_);
        return client_;
    }
    shared = false;
    auto fresh = std::make_shared<TIdHTTP>();
    fresh->setRequestTimeLimit(limit_);
    return fresh;
}

std::string SharedHttpClient::GetText(const std::string& url)
{
    bool shared = false;
    std::shared_ptr<TIdHTTP> client = acquire(shared);
    struct Release {
        SharedHttpClient* owner;
        bool shared;
        ~Release()
        {
            if (!shared)
                return;
            std::lock_guard<std::mutex> lock(owner->mutex_);
            owner->inUse_ = false;
        }
    } release{this, shared};
    return client->GetText(url);
}

void SharedHttpClient::setRequestTimeLimit(std::chrono::milliseconds limit)
{
    std::lock_guard<std::mutex> lock(mutex_);
    limit_ = limit;   // reaches the shared client with its next request
}

bool SharedHttpClient::busy() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return inUse_;
}

}  // namespace quavrel
