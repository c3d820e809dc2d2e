#include "tools/catalog/catalog_server.h"

#include "tools/catalog/gbk_text.h"
#include "tools/catalog/pages.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace quavrel::catalog {
namespace {

const char kHtmlType[] = "text/html; charset=gbk";
const char kMp3Type[] = "audio/mpeg";
constexpr std::size_t kChunkBytes = 64 * 1024;

// Songs that are always on the hot list, ahead of this run's recommendations. One of
// them is a dead link, so the probe's filtering shows there too.
constexpr int kFixedHotSongs[] = {1, 14, 31, 50, 62, 88, 9};

// Takes the byte ranges out of the library's request object (which it owns as non-const).
// Song answers cut ranges themselves: the library would cut them once more after the
// handler returns, announcing a wrong length for a range that runs past the end and then
// reading past the body, and it would call a chunked answer partial content.
httplib::Ranges takeRanges(const httplib::Request& req)
{
    auto& owned = const_cast<httplib::Request&>(req);
    httplib::Ranges ranges = std::move(owned.ranges);
    owned.ranges.clear();
    return ranges;
}

// Serves bytes that outlive the server without copying them, whole or, for a request with
// one satisfiable byte range, that range alone (206). A range that starts past the end gets
// 416, and a request for several ranges gets the whole body.
void serveBytes(const httplib::Ranges& ranges, httplib::Response& res, const std::string& bytes)
{

    const std::size_t size = bytes.size();
    std::size_t start = 0;
    std::size_t length = size;
    if (ranges.size() == 1) {
        const auto [first, last] = ranges[0];
        if (first < 0) {
            // "bytes=-N": the last N bytes
            length = std::min<std::size_t>(last < 0 ? 0 : static_cast<std::size_t>(last), size);
            start = size - length;
        } else {
            start = static_cast<std::size_t>(first);
            const std::size_t end =
                (last < 0 || static_cast<std::size_t>(last) >= size) ? size : static_cast<std::size_t>(last) + 1;
            length = start < end ? end - start : 0;
        }
        if (length == 0 || start >= size) {
            res.status = 416;
            res.set_header("Content-Range", "bytes */" + std::to_string(size));
            return;
        }
        res.status = 206;
        res.set_header("Content-Range", "bytes " + std::to_string(start) + "-" +
                                            std::to_string(start + length - 1) + "/" +
                                            std::to_string(size));
    } else {
        res.status = 200;
    }
    const char* data = bytes.data() + start;
    res.set_content_provider(length, kMp3Type,
                             [data, length](std::size_t offset, std::size_t want, httplib::DataSink& sink) {
                                 const std::size_t n = std::min({want, kChunkBytes, length - offset});
                                 return sink.write(data + offset, n);
                             });
}

int parseItems(const std::string& text)
{
    int value = 1;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 1)
        return 1;
    return value;
}

}  // namespace

CatalogServer::CatalogServer(const Catalog& catalog, const AudioAssets& audio)
    : catalog_(catalog), audio_(audio)
{
}

void CatalogServer::install(httplib::Server& server)
{
    server.Get("/searchmp3", [this](const httplib::Request& req, httplib::Response& res) {
        search(req, res);
    });
    server.Get("/hotlist.asp", [this](const httplib::Request& req, httplib::Response& res) {
        hotList(req, res);
    });
    server.Get("/recommend.asp", [this](const httplib::Request& req, httplib::Response& res) {
        recommend(req, res);
    });
    server.Get("/index_quavrel.asp", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(portalPage(), kHtmlType);
    });
    server.Get(R"(/songs/(\d{1,9})\.mp3)", [this](const httplib::Request& req, httplib::Response& res) {
        song(req, res);
    });
}

std::string CatalogServer::hostOf(const httplib::Request& req) const
{
    const std::string host = req.get_header_value("Host");
    if (isSafeHost(host))
        return host;
    return "127.0.0.1:" + std::to_string(port_.load());
}

void CatalogServer::search(const httplib::Request& req, httplib::Response& res) const
{
    const std::string keyword = percentDecode(rawQueryValue(req.target, "keyword"));
    const int first = parseItems(rawQueryValue(req.target, "items"));
    res.set_content(searchPage(catalog_.search(keyword), first, hostOf(req)), kHtmlType);
}

void CatalogServer::hotList(const httplib::Request& req, httplib::Response& res) const
{
    const std::string host = hostOf(req);
    std::vector<HotRecord> records;
    for (int id : kFixedHotSongs) {
        const Song* s = catalog_.find(id);
        if (!s)
            continue;
        records.push_back({s->boldTitle ? "<b>" + s->title + "</b>" : s->title,
                           songUrl(host, s->id), s->singer, s->album});
    }
    for (HotRecord& r : recommended_.records())
        records.push_back(std::move(r));
    res.set_content(hotListPage(records), kHtmlType);
}

void CatalogServer::recommend(const httplib::Request& req, httplib::Response& res)
{
    auto field = [&req](const char* key) {
        return neutraliseHotField(percentDecode(rawQueryValue(req.target, key)));
    };
    recommended_.add({field("subject"), field("url"), field("author"), field("special")});
    res.set_content(recommendAnswerPage(), kHtmlType);
}

int CatalogServer::redirectTargetFor(int id) const
{
    const auto& songs = catalog_.songs();
    for (std::size_t step = 1; step <= songs.size(); ++step) {
        const Song& candidate = songs[(id - 1 + step) % songs.size()];
        if (candidate.kind == SongKind::Good)
            return candidate.id;
    }
    return id;
}

void CatalogServer::song(const httplib::Request& req, httplib::Response& res) const
{
    const httplib::Ranges ranges = takeRanges(req);
    int id = 0;
    const std::string digits = req.matches[1];
    std::from_chars(digits.data(), digits.data() + digits.size(), id);
    const Song* s = catalog_.find(id);
    if (!s) {
        res.status = 404;
        return;
    }
    switch (s->kind) {
    case SongKind::Good:
        serveBytes(ranges, res, audio_.toneFor(id));
        break;
    case SongKind::Big:
        serveBytes(ranges, res, audio_.big());
        break;
    case SongKind::Tiny:
        serveBytes(ranges, res, audio_.tiny());
        break;
    case SongKind::Dead:
        res.status = 404;
        break;
    case SongKind::Redirect:
        res.set_redirect(songUrl(hostOf(req), redirectTargetFor(id)), 302);
        break;
    case SongKind::ZeroLength:
        res.status = 200;
        res.set_header("Content-Type", kMp3Type);
        break;
    case SongKind::NoLength: {
        res.status = 200;   // a range request gets the whole body
        const std::string* body = &audio_.toneFor(id);
        res.set_chunked_content_provider(kMp3Type, [body](std::size_t offset, httplib::DataSink& sink) {
            if (offset >= body->size()) {
                sink.done();
                return true;
            }
            return sink.write(body->data() + offset, std::min(kChunkBytes, body->size() - offset));
        });
        break;
    }
    }
}

}  // namespace quavrel::catalog
