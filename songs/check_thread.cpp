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

// The queue and the count of probe threads. Never destroyed: probe threads may still
// run while the process tears down its statics.
struct ProbeLimiter {
    std::mutex mutex;
    std::condition_variable idle;
    std::deque<ProbeJob> queue;
    size_t threads = 0;    // probe threads alive
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

// Body of one probe thread: takes queued probes in order until none is left.
void probeThread()
{
    ProbeLimiter& l = limiter();
    std::unique_lock<std::mutex> lock(l.mutex);
    while (!l.queue.empty()) {
        ProbeJob job = std::move(l.queue.front());
        l.queue.pop_front();
        ++l.running;
        lock.unlock();
        runJob(job);
        job = ProbeJob{};   // lets go of the record before the next probe
        lock.lock();
        --l.running;
    }
    --l.threads;
    l.idle.notify_all();
}

}  // namespace

void TCheckThread::Start()
{
    ProbeLimiter& l = limiter();
    std::lock_guard<std::mutex> lock(l.mutex);
    l.queue.push_back(ProbeJob{ListView, Media, RequestLimit});
    if (l.threads >= static_cast<size_t>(kMaxProbes))
        return;
    try {
        std::thread(probeThread).detach();
        ++l.threads;
    } catch (...) {
        // With another probe thread alive the job still gets its turn; with none it
        // would wait for ever, so the caller hears of it.
        if (l.threads == 0) {
            l.queue.pop_back();
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
    return l.queue.size() + l.running;
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
    return l.idle.wait_for(lock, limit, [&] { return l.queue.empty() && l.running == 0; });
}

}  // namespace quavrel
