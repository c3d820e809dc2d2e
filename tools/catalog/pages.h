#pragma once
// The GBK pages that the catalogue service answers with: the search result page, the hot
// list, the games-portal page of the demo and the answer to a recommendation. Pure
// functions of their arguments; every field given to them is GBK already and safe for
// the page (see page_text.h).
#include <string>
#include <vector>

namespace quavrel::catalog {

inline constexpr char kHtmlType[] = "text/html; charset=gbk";
inline constexpr char kMp3Type[] = "audio/mpeg";

// Number of entries on one result page.
constexpr int kPageSize = 20;

// One entry of a result page, fields in GBK. The title may carry a bold tag of the
// service's own.
struct SearchEntry {
    std::string url;
    std::string title;
    std::string singer;
    std::string album;
};

// One hot-list record, fields in GBK, in the order the record holds them.
struct HotRecord {
    std::string title;
    std::string url;
    std::string singer;
    std::string album;
};

// The value of "items=": the 1-based number of the first hit wanted; 1 for anything
// that is not a positive number.
int ParseItems(const std::string& text);

// The result page holding `entries`, which are the hits `first` onwards of `total`. Every
// entry reads as address, title, singer and album through the program's search pattern;
// an empty singer or album is written as one blank, which the program trims.
std::string searchPage(const std::vector<SearchEntry>& entries, int first, int total);

// "#TITLE||URL||SINGER||ALBUM#<br>" and a line break per record.
std::string hotListPage(const std::vector<HotRecord>& records);

std::string portalPage();
std::string recommendAnswerPage();

}  // namespace quavrel::catalog
