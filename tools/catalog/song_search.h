#pragma once
// The library's keyword search. A keyword is split at blanks; a song matches when every
// term occurs in its title, singer, album or file name, ASCII letters without regard to
// case. Terms of three characters and more go to the trigram index, shorter ones to the
// index of single characters. Songs whose title holds a term come first, then the order
// is singer, album, track number, title.
#include "tools/catalog/database.h"

#include <string>
#include <vector>

namespace quavrel::catalog {

// The terms of a UTF-8 keyword: split at ASCII blanks, control characters and the
// ideographic space; the first 16 of them.
std::vector<std::string> SearchTerms(const std::string& keyword);

struct SearchResult {
    std::int64_t total = 0;
    std::vector<SongListing> page;   // the hits `first` to `first + count - 1`
};

// `first` counts from 1. No terms find nothing.
SearchResult SearchSongs(SqliteConnection& db, const std::vector<std::string>& terms, int first, int count);

}  // namespace quavrel::catalog
