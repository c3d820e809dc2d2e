#pragma once
// What the library tests of the catalogue service share: a library folder of the test's
// own, the service over it, and the search through the wire read by the program's own
// page parsers, so a field reaches the test exactly as it reaches the program's rows.
#include "platform/codepage.h"
#include "songs/page_parser.h"
#include "songs/text.h"
#include "tests/support/catalog/catalog_service.h"
#include "tests/support/catalog/song_files.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace quavrel::test {

// UTF-8 text as the pages carry it.
inline std::string gbk(const std::string& utf8) { return utf8ToGbk(utf8); }

// One song as the program reads it from a result page or the hot list (GBK fields).
struct Found {
    std::string url, title, singer, album;
    bool operator==(const Found&) const = default;
};

inline void PrintTo(const Found& f, std::ostream* os)
{
    *os << "{" << f.url << " | " << f.title << " | " << f.singer << " | " << f.album << "}";
}

inline std::vector<Found> foundIn(const std::string& page, bool hotList = false)
{
    std::vector<Found> found;
    auto keep = [&](const MediaPtr& m) { found.push_back({m->Url, m->Title, m->Singer, m->Album}); };
    if (hotList)
        ParseHotList(page, keep);
    else
        ParseSearchPage(page, keep);
    return found;
}

// The songs a UTF-8 keyword finds on the page starting at hit `items`.
inline std::vector<Found> Search(const CatalogService& service, const std::string& keyword, int items = 1)
{
    const HttpReply r = service.get("/searchmp3?type=5&keyword=" + QueryEncode(utf8ToGbk(keyword)) +
                                    "&items=" + std::to_string(items));
    EXPECT_EQ(r.status, 200);
    return foundIn(r.body);
}

inline std::vector<Found> HotList(const CatalogService& service)
{
    const HttpReply r = service.get("/hotlist.asp");
    EXPECT_EQ(r.status, 200);
    return foundIn(r.body, true);
}

// The path part of a song address of `service` ("/songs/3.mp3").
inline std::string PathOf(const CatalogService& service, const Found& song)
{
    const std::string base = service.base();
    EXPECT_EQ(song.url.rfind(base, 0), 0u) << song.url;
    return song.url.substr(base.size());
}

// The only song a keyword finds, or an empty record with a test failure.
inline Found Only(const CatalogService& service, const std::string& keyword)
{
    const std::vector<Found> found = Search(service, keyword);
    EXPECT_EQ(found.size(), 1u) << keyword;
    return found.empty() ? Found{} : found[0];
}

// A library folder and a database folder of the test's own.
class LibraryFolder {
public:
    LibraryFolder()
    {
        std::filesystem::create_directories(music());
        std::filesystem::create_directories(data());
        ::chmod(dir_.path().c_str(), 0755);   // an unprivileged service must get in
    }
    std::string music() const { return dir_.path() + "/music"; }
    std::string data() const { return dir_.path() + "/data"; }
    std::string database() const { return data() + "/catalog.db"; }
    // `relative` under the music folder, its folders made.
    std::string file(const std::string& relative) const
    {
        const std::string path = music() + "/" + relative;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        return path;
    }
    std::vector<std::string> serviceArgs() const { return {"--library", music(), "--database", database()}; }

private:
    TempDir dir_;
};

}  // namespace quavrel::test
