#include "tools/catalog/hot_list.h"

namespace quavrel::catalog {

void HotList::add(HotRecord record)
{
    std::lock_guard lock(mutex_);
    records_.push_back(std::move(record));
    if (records_.size() > kMaxRecords)
        records_.pop_front();
}

std::vector<HotRecord> HotList::records() const
{
    std::lock_guard lock(mutex_);
    return {records_.begin(), records_.end()};
}

}  // namespace quavrel::catalog
