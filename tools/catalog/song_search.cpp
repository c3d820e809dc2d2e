#include "tools/catalog/song_search.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace quavrel::catalog {
namespace {

constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";
// Nobody types more words than this; a keyword of hundreds of one-letter words would cost
// a full-text query each.
constexpr std::size_t kMaxTerms = 16;

std::size_t characterCount(const std::string& utf8)
{
    std::size_t n = 0;
    for (char c : utf8) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++n;
    }
    return n;
}

// A term as an FTS5 string: in double quotes, inner quotes doubled.
std::string quoted(const std::string& term)
{
    std::string out = "\"";
    for (char c : term) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + "\"";
}

std::string joined(const std::vector<std::string>& terms, const std::string& column, const char* op)
{
    std::string out;
    for (const std::string& term : terms) {
        if (!out.empty())
            out += op;
        out += column.empty() ? quoted(term) : column + " : " + quoted(term);
    }
    return out;
}

// From this many songs in a group on, the page is found by walking all songs in page
// order and keeping the group's; below it the group's songs are fetched and sorted. The
// walk stops after the page, so its cost falls as the group grows.
constexpr std::size_t kWalkFrom = 300;

using Ids = std::vector<std::int64_t>;   // song numbers, ascending

const char kPageOrder[] = " ORDER BY s.singer COLLATE NOCASE, s.album COLLATE NOCASE, s.track, s.title COLLATE NOCASE, s.id";

// The songs a full-text query finds in one index (which holds present songs only).
Ids idsOf(SqliteConnection& db, const char* table, const std::string& expression)
{
    SqliteStatement stmt(db, std::string("SELECT rowid FROM ") + table + " WHERE " + table + " MATCH ?1 ORDER BY rowid");
    stmt.bind(1, expression);
    Ids ids;
    while (stmt.step())
        ids.push_back(stmt.integer(0));
    return ids;
}

Ids intersection(const Ids& a, const Ids& b)
{
    Ids out;
    std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
    return out;
}

Ids difference(const Ids& a, const Ids& b)
{
    Ids out;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
    return out;
}

// The songs holding every term, and those of them with a term in the title. Terms of
// three characters and more are asked of the trigram index, shorter ones of the index of
// single characters.
void findHits(SqliteConnection& db, const std::vector<std::string>& terms, Ids& hits, Ids& titled)
{
    std::vector<std::string> longTerms, shortTerms;
    for (const std::string& term : terms)
        (characterCount(term) >= 3 ? longTerms : shortTerms).push_back(term);
    bool first = true;
    Ids inTitle;
    for (const auto& [group, table] : {std::pair{&longTerms, "songs_text"}, std::pair{&shortTerms, "songs_chars"}}) {
        if (group->empty())
            continue;
        const Ids found = idsOf(db, table, joined(*group, "", " AND "));
        hits = first ? found : intersection(hits, found);
        first = false;
        Ids titleFound = idsOf(db, table, joined(*group, "title", " OR "));
        Ids merged;
        std::set_union(inTitle.begin(), inTitle.end(), titleFound.begin(), titleFound.end(), std::back_inserter(merged));
        inTitle.swap(merged);
    }
    titled = intersection(hits, inTitle);
}

SongListing listingOf(const SqliteStatement& stmt)
{
    return {stmt.integer(0), stmt.text(1), stmt.text(2), stmt.text(3), stmt.text(4)};
}

std::string jsonArray(const Ids& ids)
{
    std::string json = "[";
    for (std::int64_t id : ids)
        json += (json.size() > 1 ? "," : "") + std::to_string(id);
    return json + "]";
}

// Appends the songs `offset` to `offset + limit - 1` of `group` in page order.
void readGroup(SqliteConnection& db, const Ids& group, std::int64_t offset, std::int64_t limit,
               std::vector<SongListing>& page)
{
    if (limit <= 0 || offset >= static_cast<std::int64_t>(group.size()))
        return;
    if (group.size() < kWalkFrom) {
        SqliteStatement stmt(db, std::string("SELECT s.id, s.ext, s.title, s.singer, s.album FROM songs s"
                                             " WHERE s.id IN (SELECT value FROM json_each(?1))") +
                                     kPageOrder + " LIMIT ?2 OFFSET ?3");
        stmt.bind(1, jsonArray(group)).bind(2, limit).bind(3, offset);
        while (stmt.step())
            page.push_back(listingOf(stmt));
        return;
    }
    std::vector<bool> member(static_cast<std::size_t>(group.back()) + 1);
    for (std::int64_t id : group)
        member[static_cast<std::size_t>(id)] = true;
    SqliteStatement walk(db, std::string("SELECT s.id FROM songs s INDEXED BY songs_order WHERE s.present = 1") + kPageOrder);
    Ids wanted;
    std::int64_t seen = 0;
    while (static_cast<std::int64_t>(wanted.size()) < limit && walk.step()) {
        const std::int64_t id = walk.integer(0);
        if (id < 0 || static_cast<std::size_t>(id) >= member.size() || !member[static_cast<std::size_t>(id)])
            continue;
        if (seen++ >= offset)
            wanted.push_back(id);
    }
    SqliteStatement rows(db, "SELECT s.id, s.ext, s.title, s.singer, s.album FROM json_each(?1) j"
                             " JOIN songs s ON s.id = j.value ORDER BY j.key");
    rows.bind(1, jsonArray(wanted));
    while (rows.step())
        page.push_back(listingOf(rows));
}

}  // namespace

std::vector<std::string> SearchTerms(const std::string& keyword)
{
    std::vector<std::string> terms;
    std::string term;
    auto flush = [&] {
        if (!term.empty() && terms.size() < kMaxTerms)
            terms.push_back(std::move(term));
        term.clear();
    };
    for (std::size_t i = 0; i < keyword.size() && terms.size() < kMaxTerms; ++i) {
        if (static_cast<unsigned char>(keyword[i]) <= 0x20 || keyword[i] == 0x7F) {
            flush();
        } else if (keyword.compare(i, kIdeographicSpace.size(), kIdeographicSpace) == 0) {
            flush();
            i += kIdeographicSpace.size() - 1;
        } else {
            term += keyword[i];
        }
    }
    flush();
    return terms;
}

SearchResult SearchSongs(SqliteConnection& db, const std::vector<std::string>& terms, int first, int count)
{
    SearchResult result;
    if (terms.empty())
        return result;
    Ids hits, titled;
    findHits(db, terms, hits, titled);
    result.total = static_cast<std::int64_t>(hits.size());
    const std::int64_t from = static_cast<std::int64_t>(first) - 1;
    const std::int64_t titledCount = static_cast<std::int64_t>(titled.size());
    readGroup(db, titled, from, std::min<std::int64_t>(count, titledCount - from), result.page);
    readGroup(db, difference(hits, titled), std::max<std::int64_t>(0, from - titledCount),
              count - static_cast<std::int64_t>(result.page.size()), result.page);
    return result;
}

}  // namespace quavrel::catalog
