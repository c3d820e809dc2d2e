#include "songs/handover.h"

namespace quavrel {

std::shared_ptr<ResultHandover> ResultHandover::create(DeliverFn forward)
{
    return std::make_shared<ResultHandover>(std::move(forward));
}

bool ResultHandover::deliver(const MediaPtr& media)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_ || !forward_)
        return false;
    forward_(media);
    return true;
}

void ResultHandover::close()
{
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    forward_ = nullptr;   // lets go of whatever the forwarding function holds
}

bool ResultHandover::closed() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
}

}  // namespace quavrel
