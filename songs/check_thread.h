#pragma once
// TCheckThread: the link probe. Sends one HEAD request to a song's address on a client
// of its own, times it, reads the announced size, and hands the record to the result
// list when the address answered 200 with a positive length; any other outcome drops the
// record silently. Started by the song search and the hot list.
//
// A page is untrusted input, so probes do not each get a thread without limit: at most
// kMaxProbes run at once in the whole program, and the rest wait. The waiting probes of
// the newest page (ProbePage) go first, in page order, so the page just listed never
// queues behind an earlier page's slow hosts. Start() never blocks.
// Each probe's request has RequestLimit in all, after which it fails like any other probe.
// Probe threads end by themselves; nothing waits for them at exit, and everything they
// touch is held by shared_ptr or never destroyed.
#include <chrono>
#include <cstddef>
#include <memory>

#include "media/media.h"
#include "songs/handover.h"

namespace quavrel {

constexpr int kMaxProbes = 32;
constexpr std::chrono::milliseconds kProbeRequestLimit{30000};

// The probes of one result page; the search and the hot list make one per page.
struct ProbePage;
std::shared_ptr<ProbePage> NewProbePage();

class TCheckThread {
public:
    std::shared_ptr<ResultHandover> ListView;   // receives the record when it is listed
    MediaPtr Media;
    std::chrono::milliseconds RequestLimit = kProbeRequestLimit;
    std::shared_ptr<ProbePage> Page;   // nullptr: one page shared by all such probes

    // Queues the probe and returns at once. Throws std::system_error only when no probe
    // thread can be started at all.
    void Start();

    // The probe itself, on the calling thread: sets Speed and Size; true when the song
    // is to be listed.
    static bool Probe(TMedia& media, std::chrono::milliseconds requestLimit);
};

// Probes started but not yet finished (queued or running).
size_t PendingProbes();
// Probes running right now (never above kMaxProbes).
size_t RunningProbes();
// Waits until no probe is pending; false when `limit` passed first.
bool WaitForProbes(std::chrono::milliseconds limit);

}  // namespace quavrel
