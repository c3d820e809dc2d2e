#include "songs/song_search.h"

#include <thread>

#include "songs/page_parser.h"
#include "songs/text.h"

namespace quavrel {

namespace {
struct GateClosed {};
}  // namespace

std::string SearchUrl(const std::string& server, const std::string& keyword, int32_t items)
{
    return "http://" + server + FillTemplate(kSearchPath, {QueryEncode(keyword), items});
}

size_t DoSearch(const std::string& keyword, std::atomic<int32_t>& NextItem, const ListingTarget& target)
{
    if (keyword.empty())
        return 0;
    int32_t items = 0;
    if (!target.results->whileOpen([&] { items = NextItem.load(); }))
        return 0;
    // Keep the client alive for the whole request, whatever happens to its owner.
    std::shared_ptr<SharedHttpClient> client = target.client;
    std::string page;
    try {
        page = client->GetText(SearchUrl(target.server, keyword, items));
    } catch (...) {
        return 0;   // a failed request counts as an empty page
    }
    if (page.empty())
        return 0;
    const std::shared_ptr<ProbePage> probePage = NewProbePage();
    size_t found = 0;
    try {
        ParseSearchPage(page, [&](const MediaPtr& media) {
            if (!target.results->whileOpen([&] { NextItem.fetch_add(1); }))
                throw GateClosed{};
            ++found;
            StartListingProbe(target, probePage, media);
        });
    } catch (const GateClosed&) {
        // The window is gone: the rest of the page has nowhere to go.
    }
    return found;
}

void StartListingProbe(const ListingTarget& target, const std::shared_ptr<ProbePage>& page, const MediaPtr& media)
{
    TCheckThread probe;
    probe.ListView = target.results;
    probe.Media = media;
    probe.RequestLimit = target.probeLimit;
    probe.Page = page;
    probe.Start();
}

void TSearchThread::Start()
{
    std::thread([onSearch = OnSearch, keyword = Keyword] {
        try {
            if (onSearch)
                onSearch(keyword);
        } catch (...) {
            // A worker ends without a message.
        }
    }).detach();
}

}  // namespace quavrel
