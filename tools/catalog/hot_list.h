#pragma once
// The songs recommended during this run, in arrival order. The recommendation handler
// adds to it and the hot-list handler reads it, from any of the server's threads.
#include "tools/catalog/pages.h"

#include <cstddef>
#include <deque>
#include <mutex>
#include <vector>

namespace quavrel::catalog {

class HotList {
public:
    // Keeps at most this many recommendations; the oldest go first.
    static constexpr std::size_t kMaxRecords = 1000;

    void add(HotRecord record);
    std::vector<HotRecord> records() const;

private:
    mutable std::mutex mutex_;
    std::deque<HotRecord> records_;
};

}  // namespace quavrel::catalog
