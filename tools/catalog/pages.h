#pragma once
// Builds the GBK pages that the catalogue service answers with: the search result page,
// the hot list, the games-portal page and the answer to a recommendation. Called by the
// request handlers; pure functions of their arguments.
#include "tools/catalog/catalog.h"

#include <string>
#include <vector>

namespace quavrel::catalog {

// Number of entries on one result page.
constexpr int kPageSize = 20;

// One hot-list record, fields in GBK.
struct HotRecord {
    std::string title;
    std::string url;
    std::string singer;
    std::string album;
};

// "http://HOST/songs/ID.mp3"
std::string songUrl(const std::string& host, int id);

// The result page for `hits`, showing up to kPageSize of them starting with the 1-based
// hit number `first`. Every entry reads as address, title, singer and album through the
// program's search pattern; a blank album is written as one blank, which the program trims.
std::string searchPage(const std::vector<const Song*>& hits, int first, const std::string& host);

// "#TITLE||URL||SINGER||ALBUM#<br>" and a line break per record.
std::string hotListPage(const std::vector<HotRecord>& records);

std::string portalPage();
std::string recommendAnswerPage();

}  // namespace quavrel::catalog
