#pragma once
// The song search: fetches one result page for a keyword at NextItem, cuts the entries
// out of it and starts a link probe for each. DoSearch runs on a search worker
// (TSearchThread, first page) or on the UI thread (next page); it touches no widget.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "songs/check_thread.h"
#include "songs/handover.h"
#include "http/shared_client.h"

namespace quavrel {

// Where a page's songs come from and where they go. `results` also guards the window's
// NextItem: once the window closes it, no update of NextItem happens any more.
struct ListingTarget {
    std::shared_ptr<SharedHttpClient> client;
    std::shared_ptr<ResultHandover> results;
    std::string server;                                     // host[:port]
    std::chrono::milliseconds probeLimit = kProbeRequestLimit;
};

constexpr char kSearchPath[] = "/searchmp3?type=5&keyword=%s&items=%d";

// The full address of one search page.
std::string SearchUrl(const std::string& server, const std::string& keyword, int32_t items);

// Fetches the page for `keyword` (as typed) at NextItem and starts a probe per entry,
// adding 1 to NextItem for each. An empty keyword, a failed request or an empty page do
// nothing. Returns the number of entries. Throws only when a probe cannot be started.
size_t DoSearch(const std::string& keyword, std::atomic<int32_t>& NextItem, const ListingTarget& target);

// Starts the link probe of one record of a fetched page, for the target's list. Throws
// only when no probe thread can be started.
void StartListingProbe(const ListingTarget& target, const std::shared_ptr<ProbePage>& page, const MediaPtr& media);

// The search worker: a thread of its own that runs OnSearch(Keyword) once and ends.
class TSearchThread {
public:
    std::function<void(const std::string&)> OnSearch;
    std::string Keyword;

    // Starts the worker and returns at once; the worker frees itself.
    void Start();
};

}  // namespace quavrel
