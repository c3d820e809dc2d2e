#pragma once
// The song catalogue in GBK: built once from the song table, then read-only, so the
// server's request threads share it without locking.
#include "tools/catalog/song_table.h"

#include <string>
#include <vector>

namespace quavrel::catalog {

struct Song {
    int id = 0;            // 1-based, the number in the song's address
    std::string title;     // GBK
    std::string singer;    // GBK
    std::string album;     // GBK, may be empty
    SongKind kind = SongKind::Good;
    bool boldTitle = false;
};

class Catalog {
public:
    // Converts the song table to GBK.
    Catalog();

    const std::vector<Song>& songs() const { return songs_; }
    const Song* find(int id) const;

    // Songs whose title, singer or album hold every blank-separated word of `keyword`
    // (GBK bytes), in catalogue order. A keyword without any word finds nothing.
    std::vector<const Song*> search(const std::string& keyword) const;

private:
    std::vector<Song> songs_;
};

}  // namespace quavrel::catalog
