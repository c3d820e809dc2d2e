#pragma once
// Turns the two kinds of service page into song records: the search result page and the
// hot list. Each parser calls back once per entry, in page order, with a fresh record;
// the caller counts, probes or prints it. Used by the song search, the hot list and the
// quavrel-net page commands.
#include <cstddef>
#include <functional>
#include <string>

#include "media/media.h"

namespace quavrel {

// The stored patterns, byte for byte. Groups of the search pattern: address, title,
// singer, album; of the hot-list pattern: title, address, singer, album.
extern const char kSearchPattern[];
extern const char kHotListPattern[];

using RecordFn = std::function<void(const MediaPtr&)>;

// Each returns the number of entries found. An exception thrown by `onRecord` ends the
// parse at that entry and passes through.
size_t ParseSearchPage(const std::string& page, const RecordFn& onRecord);
size_t ParseHotList(const std::string& page, const RecordFn& onRecord);

}  // namespace quavrel
