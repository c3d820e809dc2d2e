#include "songs/check_thread.h"

#include <condition_variable>
#include <deque>
#include <limits>
#include <mutex>
#include <thread>

#include "http/http_client.h"

namespace quavrel {

namespace {

struct ProbeJob {
    std::shared_ptr<ResultHandover> target;
    MediaPtr media;
    std::chrono::milliseconds limit;
};

}  // namespace

// A page's waiting probes and its probe threads; guarded by the limiter's mutex.
struct ProbePage {
    std::deque<ProbeJob> queue;
    size_t threads = 0;
};

namespace {

// The pages' common lock and counts. Never destroyed: probe threads may still run while
// the process tears down its statics.
struct ProbeLimiter {
    std::mutex mutex;
    std::condition_variable idle;
    std::shared_ptr<ProbePage> unpaged = std::make_shared<ProbePage>();
    size_t queued = 0;     // probes waiting on any page
    size_t running = 0;    // probes between taking a job and finishing it
};

ProbeLimiter& limiter()
{
    static ProbeLimiter* instance = new ProbeLimiter;
    return *instance;
}

void runJob(const ProbeJob& job)
{
    try {
        if (TCheckThread::Probe(*job.media, job.limit) && job.target)
            job.target->deliver(job.media);
    } catch (...) {
        // A failed probe ends silently, like an unreachable song.
    }
}

// Body of one probe thread: takes its page's probes in order until none is left.
void probeThread(const std::shared_ptr<ProbePage>& page)
{
    ProbeLimiter& l = limiter();
    std::unique_lock<std::mutex> lock(l.mutex);
    while (!page->queue.empty()) {
        ProbeJob job = std::move(page->queue.front());
        page->queue.pop_front();
        --l.queued;
        ++l.running;
        lock.unlock();
        runJob(job);
        job = ProbeJob{};   // lets go of the record before the next probe
        lock.lock();
        --l.running;
    }
    --page->threads;
    l.idle.notify_all();
}

}  // namespace

std::shared_ptr<ProbePage> NewProbePage() { return std::make_shared<ProbePage>(); }

void TCheckThread::Start()
{
    ProbeLimiter& l = limiter();
    std::shared_ptr<ProbePage> page = Page ? Page : l.unpaged;
    std::lock_guard<std::mutex> lock(l.mutex);
    page->queue.push_back(ProbeJob{ListView, Media, RequestLimit});
    ++l.queued;
    if (page->threads >= static_cast<size_t>(kMaxProbes))
        return;
    try {
        std::thread(probeThread, page).detach();
        ++page->threads;
    } catch (...) {
        // With another thread of the page alive the job still gets its turn; with none
        // it would wait for ever, so the caller hears of it.
        if (page->threads == 0) {
            page->queue.pop_back();
            --l.queued;
            throw;
        }
    }
}

bool TCheckThread::Probe(TMedia& media, std::chrono::milliseconds requestLimit)
{
    if (media.Url.empty())
        return false;
    try {
        TIdHTTP client;
        client.setRequestTimeLimit(requestLimit);
        // A monotonic clock: the wall clock may be set back or forth during the request.
        auto t0 = std::chrono::steady_clock::now();
        client.Head(media.Url);
        auto t1 = std::chrono::steady_clock::now();
        media.Size = client.ContentLength();
        if (client.StatusCode() == 200) {
            auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(t1 - t0).count();
            media.Speed = static_cast<int32_t>(std::min<long long>(ms, std::numeric_limits<int32_t>::max()));
        } else {
            media.Speed = -1;
        }
    } catch (...) {
        media.Speed = -1;
    }
    return media.Speed >= 0 && media.Size > 0;
}

size_t PendingProbes()
{
    ProbeLimiter& l = limiter();
    std::lock_guard<std::mutex> lock(l.mutex);
    return l.queued + l.running;
}

size_t RunningProbes()
{
    ProbeLimiter& l = limiter();
    std::lock_guard<std::mutex> lock(l.mutex);
    return l.running;
}

bool WaitForProbes(std::chrono::milliseconds limit)
{
    ProbeLimiter& l = limiter();
    std::unique_lock<std::mutex> lock(l.mutex);
    return l.idle.wait_for(lock, limit, [&] { return l.queued == 0 && l.running == 0; });
}

}  // namespace quavrel
