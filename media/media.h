#pragma once
// TMedia: the one record of a song. A result row, a play-list row and a running probe
// share it through MediaPtr; it lives as long as its last holder.
#include <cstdint>
#include <memory>
#include <string>

namespace quavrel {

struct TMedia {
    std::string Title;     // GBK bytes, as every text field
    std::string Singer;
    std::string Album;
    std::string FileType;
    std::string Url;       // exactly as found: never decoded, re-encoded or trimmed
    int32_t Speed = 0;     // probe time in ms; -1 probe failed; 0 never probed
    int32_t Size = 0;      // Content-Length in bytes; -1 none usable; 0 never probed
};

using MediaPtr = std::shared_ptr<TMedia>;

inline MediaPtr NewMedia() { return std::make_shared<TMedia>(); }

}  // namespace quavrel
