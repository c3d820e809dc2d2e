// The page commands in a build without the song service (the Windows build, for which
// there is no RE2 to match the page patterns with): each one says so and fails.
#include <cstdio>

#include "tools/quavrel-net/command.h"

namespace quavrel::cli {
namespace {

template <const char* kName>
int notInThisBuild(const Args&)
{
    std::fprintf(stderr, "quavrel-net: %s is not in this build (it has no page patterns)\n", kName);
    return 2;
}

constexpr char kSearchPage[] = "search-page";
constexpr char kHotList[] = "hot-list";
constexpr char kQueryEncode[] = "query-encode";
constexpr char kStripTags[] = "strip-tags";

constexpr char kAbsent[] = "Not in this build: it has no engine for the page patterns.";

const Registration searchPage{kSearchPage, {notInThisBuild<kSearchPage>, "search-page < PAGE", kAbsent}};
const Registration hotList{kHotList, {notInThisBuild<kHotList>, "hot-list < PAGE", kAbsent}};
const Registration queryEncode{kQueryEncode, {notInThisBuild<kQueryEncode>, "query-encode < TEXT", kAbsent}};
const Registration stripTags{kStripTags, {notInThisBuild<kStripTags>, "strip-tags < TEXT", kAbsent}};

}  // namespace

}  // namespace quavrel::cli
