#include "tools/catalog/song_search.h"

namespace quavrel::catalog {
namespace {

constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";

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

// The two kinds of term, and the FTS5 queries they give for both indexes.
struct Plan {
    std::vector<std::string> longTerms;    // three characters and more: trigram index
    std::vector<std::string> shortTerms;   // one or two: single-character index
    std::string withCte;                   // "WITH hits(id) AS (...), titled(id) AS (...)"
    std::vector<std::string> parameters;   // the MATCH strings, in the order of the "?"
};

Plan planFor(const std::vector<std::string>& terms)
{
    Plan plan;
    for (const std::string& term : terms)
        (characterCount(term) >= 3 ? plan.longTerms : plan.shortTerms).push_back(term);
    std::string hits, titled;
    std::vector<std::string> hitParameters, titleParameters;
    auto add = [&](const std::vector<std::string>& group, const char* table) {
        if (group.empty())
            return;
        const std::string select = std::string("SELECT rowid FROM ") + table + " WHERE " + table + " MATCH ?";
        hits += (hits.empty() ? "" : " INTERSECT ") + select;
        titled += (titled.empty() ? "" : " UNION ") + select;
        hitParameters.push_back(joined(group, "", " AND "));
        titleParameters.push_back(joined(group, "title", " OR "));
    };
    add(plan.longTerms, "songs_text");
    add(plan.shortTerms, "songs_chars");
    plan.withCte = "WITH hits(id) AS (" + hits + "), titled(id) AS (" + titled + ") ";
    plan.parameters = hitParameters;
    plan.parameters.insert(plan.parameters.end(), titleParameters.begin(), titleParameters.end());
    return plan;
}

}  // namespace

std::vector<std::string> SearchTerms(const std::string& keyword)
{
    std::vector<std::string> terms;
    std::string term;
    auto flush = [&] {
        if (!term.empty())
            terms.push_back(std::move(term));
        term.clear();
    };
    for (std::size_t i = 0; i < keyword.size(); ++i) {
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
    const Plan plan = planFor(terms);
    auto bindAll = [&plan](SqliteStatement& stmt) {
        for (std::size_t i = 0; i < plan.parameters.size(); ++i)
            stmt.bind(static_cast<int>(i) + 1, plan.parameters[i]);
    };
    SqliteStatement total(db, plan.withCte + "SELECT count(*) FROM songs s JOIN hits ON s.id = hits.id WHERE s.present");
    bindAll(total);
    if (total.step())
        result.total = total.integer(0);
    if (result.total < first)
        return result;

    SqliteStatement page(db, plan.withCte +
                                 "SELECT s.id, s.ext, s.title, s.singer, s.album FROM songs s JOIN hits ON s.id = hits.id"
                                 " WHERE s.present ORDER BY (s.id IN titled) DESC, s.singer COLLATE NOCASE,"
                                 " s.album COLLATE NOCASE, s.track, s.title COLLATE NOCASE, s.id LIMIT ? OFFSET ?");
    bindAll(page);
    const int next = static_cast<int>(plan.parameters.size()) + 1;
    page.bind(next, count).bind(next + 1, static_cast<std::int64_t>(first) - 1);
    while (page.step())
        result.page.push_back({page.integer(0), page.text(1), page.text(2), page.text(3), page.text(4)});
    return result;
}

}  // namespace quavrel::catalog
