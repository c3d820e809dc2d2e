#include "songs/check_thread.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

#include "http/http_client.h"

namespace quavrel {

namespace {

struct ProbeJob {
    std::shared_ptr<ResultHandover> target;
    MediaPtr media;
    std::chrono::milliseconds limit;
};

}  // namespace

// A page's waiting probes; guarded by the limiter's mutex. Pages are numbered in the
// order they were made, so the newest one is served first.
struct ProbePage {
    uint64_t number = 0;
    std::deque<ProbeJob> queue;
};

namespace {

// The waiting probes of every page and the probe threads, at most kMaxProbes of them.
// Never destroyed: probe threads may still run while the process tears down its statics.
struct ProbeLimiter {
    std::mutex mutex;
    std::condition_variable idle;
    uint64_t pagesMade = 0;
    std::shared_ptr<ProbePage> unpaged = std::make_shared<ProbePage>();   // number 0: oldest
    std::vector<std::shared_ptr<ProbePage>> waiting;   // pages with queued probes, oldest first
    size_t queued = 0;     // probes waiting on any page
    size_t running = 0;    // probes between taking a job and finishing it
    size_t threads = 0;

    void enqueue(const std::shared_ptr<ProbePage>& page, ProbeJob job)
    {
        if (page->queue.empty()) {
            auto later = std::find_if(waiting.begin(), waiting.end(),
                                      [&](const auto& p) { return p->number > page->number; });
            waiting.insert(later, page);
        }
        page->queue.push_back(std::move(job));
        ++queued;
    }

    // The first waiting probe of the newest page.
    ProbeJob takeNewest()
    {
        ProbePage& page = *waiting.back();
        ProbeJob job = std::move(page.queue.front());
        page.queue.pop_front();
        if (page.queue.empty())
            waiting.pop_back();
        --queued;
        return job;
    }
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

// Body of one probe thread: takes waiting probes, newest page first, until none is left.
void probeThread()
{
    ProbeLimiter& l = limiter();
    std::unique_lock<std::mutex> lock(l.mutex);
    while (!l.waiting.empty()) {
        ProbeJob job = l.takeNewest();
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

std::shared_ptr<ProbePage> NewProbePage()
{
    ProbeLimiter& l = limiter();
    auto page = std::make_shared<ProbePage>();
    std::lock_guard<std::mutex> lock(l.mutex);
    page->number = ++l.pagesMade;
    return page;
}

void TCheckThread::Start()
{
    ProbeLimiter& l = limiter();
    std::lock_guard<std::mutex> lock(l.mutex);
    l.enqueue(Page ? Page : l.unpaged, ProbeJob{ListView, Media, RequestLimit});
    if (l.threads >= static_cast<size_t>(kMaxProbes))
        return;
    try {
        std::thread(probeThread).detach();
        ++l.threads;
    } catch (...) {
        // With another probe thread alive the job still gets its turn; with none it would
        // wait for ever, so the caller hears of it.
        if (l.threads == 0) {
            std::shared_ptr<ProbePage> page = Page ? Page : l.unpaged;
            page->queue.pop_back();
            if (page->queue.empty())
                l.waiting.erase(std::find(l.waiting.begin(), l.waiting.end(), page));
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
