#pragma once
// The hot list: songs other users recommended, fetched from the maker's server on the UI
// thread and probed like search results. The window shows the status texts around it.
#include <atomic>
#include <cstdint>
#include <string>

#include "songs/song_search.h"

namespace quavrel {

constexpr char kHotListPath[] = "/hotlist.asp";

// Status texts, GBK.
extern const char kHotListOpeningText[];   // before the request
extern const char kHotListDoneText[];      // the answer was not empty
std::string HotListFailureText();          // failed or empty, with the support address

enum class HotListResult { NetworkFailure, Done };

// Fetches the hot list from target.server and starts a probe per record, adding 1 to
// NextItem for each. Throws only when a probe cannot be started.
HotListResult FetchHotList(std::atomic<int32_t>& NextItem, const ListingTarget& target);

// The status text for an outcome.
std::string HotListStatusText(HotListResult result);

}  // namespace quavrel
