#pragma once
// ResultHandover: the gate between the workers (search worker, link probes) and the
// window. Probes deliver finished records through it; the window gives the forwarding
// function (it posts a queued call to the UI thread) and closes the gate when it goes
// away. After close() returns nothing is forwarded any more and no guarded section runs,
// so a worker that outlives the window never reaches into it. Held by shared_ptr by the
// window and by every worker.
#include <functional>
#include <memory>
#include <mutex>

#include "media/media.h"

namespace quavrel {

class ResultHandover {
public:
    using DeliverFn = std::function<void(const MediaPtr&)>;

    static std::shared_ptr<ResultHandover> create(DeliverFn forward);
    explicit ResultHandover(DeliverFn forward) : forward_(std::move(forward)) {}

    // Forwards the record unless closed; false when it was dropped. The forwarding
    // function runs under the gate's lock and must not call back into the gate.
    bool deliver(const MediaPtr& media);

    // Runs `section` only while the gate is open, and keeps it open until the section
    // returns; false when the gate was closed. Guards state that the gate's owner
    // destroys after closing it (the window's NextItem).
    template <typename Section>
    bool whileOpen(Section&& section)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_)
            return false;
        section();
        return true;
    }

    // Waits for a delivery or guarded section in progress, then refuses all further ones.
    void close();
    bool closed() const;

private:
    mutable std::mutex mutex_;
    bool closed_ = false;
    DeliverFn forward_;
};

}  // namespace quavrel
