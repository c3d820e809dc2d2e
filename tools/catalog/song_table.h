#pragma once
// The invented songs that the catalogue service offers, as a readable UTF-8 table.
// The catalogue converts it to GBK once at start-up; nothing else reads it.
#include <cstddef>

namespace quavrel::catalog {

// How a song's address answers, so the program's link probe has every case to filter.
enum class SongKind {
    Good,       // 200 with the MP3 and its Content-Length
    Dead,       // 404
    Redirect,   // 302 to another song
    NoLength,   // 200, chunked, no Content-Length
    ZeroLength, // 200 with Content-Length 0
    Big,        // 200 with exactly 5,000,000 bytes
    Tiny,       // 200 with under 1 KB
};

struct SongRow {
    const char* title;    // UTF-8
    const char* singer;   // UTF-8
    const char* album;    // UTF-8, may be empty
    SongKind kind;
    bool boldTitle;       // the result page wraps the title in <b>..</b>
};

// Song ids are 1-based positions in this table.
extern const SongRow kSongTable[];
extern const std::size_t kSongCount;

}  // namespace quavrel::catalog
