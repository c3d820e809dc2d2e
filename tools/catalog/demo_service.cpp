#include "tools/catalog/demo_service.h"

#include "tools/catalog/gbk_text.h"
#include "tools/catalog/page_text.h"
#include "tools/catalog/pages.h"
#include "tools/catalog/song_address.h"

#include <algorithm>

namespace quavrel::catalog {
namespace {

// Songs that are always on the hot list, ahead of this run's recommendations. One of
// them is a dead link, so the probe's filtering shows there too.
constexpr int kFixedHotSongs[] = {1, 14, 31, 50, 62, 88, 9};
// A recommended field longer than this is cut: the hot list is read by every program.
constexpr std::size_t kMaxRecommendedField = 1024;

std::string demoSongUrl(const std::string& host, int id) { return SongUrl(host, id, "mp3"); }

HttpResponse bytesInRange(const HttpRequest& request, const std::string& bytes)
{
    return RangedResponse(request.range, bytes.size(), [&bytes](int code, std::uint64_t start, std::uint64_t length) {
        return HttpResponse::view(code, std::string_view(bytes).substr(start, length), kMp3Type);
    });
}

}  // namespace

DemoService::DemoService(const Catalog& catalog, const AudioAssets& audio) : catalog_(catalog), audio_(audio) {}

HttpResponse DemoService::portal(const HttpRequest&) { return HttpResponse::text(200, portalPage(), kHtmlType); }

HttpResponse DemoService::search(const HttpRequest& request)
{
    const std::string keyword = percentDecode(rawQueryValue(request.target, "keyword"));
    const int first = ParseItems(rawQueryValue(request.target, "items"));
    const std::string host = HostForAddresses(request);
    const std::vector<const Song*> hits = catalog_.search(keyword);
    const int total = static_cast<int>(hits.size());
    const int begin = std::min(first - 1, total);
    const int end = std::min(total, begin + kPageSize);
    std::vector<SearchEntry> entries;
    for (int i = begin; i < end; ++i) {
        const Song* s = hits[i];
        entries.push_back({demoSongUrl(host, s->id), s->boldTitle ? "<b>" + s->title + "</b>" : s->title, s->singer,
                           s->album});
    }
    return HttpResponse::text(200, searchPage(entries, begin + 1, total), kHtmlType);
}

HttpResponse DemoService::hotList(const HttpRequest& request)
{
    const std::string host = HostForAddresses(request);
    std::vector<HotRecord> records;
    for (int id : kFixedHotSongs) {
        const Song* s = catalog_.find(id);
        if (!s)
            continue;
        records.push_back({s->boldTitle ? "<b>" + s->title + "</b>" : s->title, demoSongUrl(host, s->id), s->singer,
                           s->album});
    }
    for (HotRecord& r : recommended_.records())
        records.push_back(std::move(r));
    return HttpResponse::text(200, hotListPage(records), kHtmlType);
}

HttpResponse DemoService::recommend(const HttpRequest& request)
{
    auto field = [&request](const char* key) {
        return PageFieldFromGbk(percentDecode(rawQueryValue(request.target, key)), kMaxRecommendedField);
    };
    recommended_.add({field("subject"), field("url"), field("author"), field("special")});
    return HttpResponse::text(200, recommendAnswerPage(), kHtmlType);
}

int DemoService::redirectTargetFor(int id) const
{
    const auto& songs = catalog_.songs();
    for (std::size_t step = 1; step <= songs.size(); ++step) {
        const Song& candidate = songs[(id - 1 + step) % songs.size()];
        if (candidate.kind == SongKind::Good)
            return candidate.id;
    }
    return id;
}

HttpResponse DemoService::song(const HttpRequest& request, std::int64_t number, const std::string& extension)
{
    if (extension != "mp3" || number > static_cast<std::int64_t>(catalog_.songs().size()))
        return HttpResponse::status(404);
    const int id = static_cast<int>(number);
    const Song* s = catalog_.find(id);
    if (!s)
        return HttpResponse::status(404);
    switch (s->kind) {
    case SongKind::Good:
        return bytesInRange(request, audio_.toneFor(id));
    case SongKind::Big:
        return bytesInRange(request, audio_.big());
    case SongKind::Tiny:
        return bytesInRange(request, audio_.tiny());
    case SongKind::Dead:
        return HttpResponse::status(404);
    case SongKind::Redirect:
        return HttpResponse::redirect(demoSongUrl(HostForAddresses(request), redirectTargetFor(id)));
    case SongKind::ZeroLength:
        return HttpResponse::view(200, {}, kMp3Type);
    case SongKind::NoLength:
        // Without a length there is no range to cut: a range request gets the whole body.
        return HttpResponse::unsized(audio_.toneFor(id), kMp3Type);
    }
    return HttpResponse::status(404);
}

}  // namespace quavrel::catalog
