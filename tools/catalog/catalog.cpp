#include "tools/catalog/catalog.h"

#include "platform/codepage.h"
#include "tools/catalog/gbk_text.h"


namespace quavrel::catalog {
namespace {

std::string toGbk(const char* utf8) { return quavrel::utf8ToGbk(utf8); }

}  // namespace

Catalog::Catalog()
{
    songs_.reserve(kSongCount);
    for (std::size_t i = 0; i < kSongCount; ++i) {
        const SongRow& row = kSongTable[i];
        Song song;
        song.id = static_cast<int>(i) + 1;
        song.title = toGbk(row.title);
        song.singer = toGbk(row.singer);
        song.album = toGbk(row.album);
        song.kind = row.kind;
        song.boldTitle = row.boldTitle;
        songs_.push_back(std::move(song));
    }
}

const Song* Catalog::find(int id) const
{
    if (id < 1 || id > static_cast<int>(songs_.size()))
        return nullptr;
    return &songs_[id - 1];
}

std::vector<const Song*> Catalog::search(const std::string& keyword) const
{
    const std::vector<std::string> words = splitWords(keyword);
    std::vector<const Song*> hits;
    if (words.empty())
        return hits;
    for (const Song& song : songs_) {
        bool all = true;
        for (const std::string& word : words) {
            if (!containsGbk(song.title, word) && !containsGbk(song.singer, word) &&
                !containsGbk(song.album, word)) {
                all = false;
                break;
            }
        }
        if (all)
            hits.push_back(&song);
    }
    return hits;
}

}  // namespace quavrel::catalog
