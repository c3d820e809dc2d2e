#include "tools/catalog/library_service.h"

#include "platform/codepage.h"
#include "tools/catalog/gbk_text.h"
#include "tools/catalog/library_pages.h"
#include "tools/catalog/log.h"
#include "tools/catalog/os_files.h"
#include "tools/catalog/page_text.h"
#include "tools/catalog/pages.h"
#include "tools/catalog/song_address.h"
#include "tools/catalog/song_search.h"

#include <limits>

namespace quavrel::catalog {
namespace {

// The program starts one probe per hot-list record.
constexpr int kHotListSize = 50;
constexpr int kNewestShown = 10;
// A recommendation names an address; anything much longer is not one of ours.
constexpr std::size_t kMaxRecommendedUrl = 2048;
constexpr std::size_t kMaxKeyword = 1024;

const char* typeOf(const std::string& extension)
{
    if (extension == "mp3")
        return "audio/mpeg";
    if (extension == "flac")
        return "audio/flac";
    if (extension == "ogg" || extension == "oga")
        return "audio/ogg";
    if (extension == "opus")
        return "audio/ogg; codecs=opus";
    if (extension == "wav")
        return "audio/wav";
    return "application/octet-stream";
}

SearchEntry entryOf(const SongListing& row, const std::string& host)
{
    return {SongUrl(host, row.id, row.extension), PageField(row.title), PageField(row.singer), PageField(row.album)};
}

// A GET of the whole file or from its first byte: someone listens from the start.
bool fromFirstByte(const HttpRequest& request)
{
    if (request.method != "GET")
        return false;
    const ByteRange range = ResolveRange(request.range, std::numeric_limits<std::uint64_t>::max());
    return range.kind == ByteRange::Kind::Whole || range.start == 0;
}

}  // namespace

LibraryService::LibraryService(Library& library) : library_(library), db_(library.database()) {}

HttpResponse LibraryService::search(const HttpRequest& request)
{
    std::string keyword = percentDecode(rawQueryValue(request.target, "keyword"));
    if (keyword.size() > kMaxKeyword)
        keyword.resize(kMaxKeyword);
    const int first = ParseItems(rawQueryValue(request.target, "items"));
    const std::vector<std::string> terms = SearchTerms(gbkToUtf8(keyword));
    SearchResult result;
    db_.read([&](SqliteConnection& db) { result = SearchSongs(db, terms, first, kPageSize); });
    const std::string host = HostForAddresses(request);
    std::vector<SearchEntry> entries;
    for (const SongListing& row : result.page)
        entries.push_back(entryOf(row, host));
    return HttpResponse::text(200, searchPage(entries, first, static_cast<int>(result.total)), kHtmlType);
}

HttpResponse LibraryService::hotList(const HttpRequest& request)
{
    const std::string host = HostForAddresses(request);
    std::vector<HotRecord> records;
    for (const SongListing& row : db_.hotList(kHotListSize)) {
        SearchEntry e = entryOf(row, host);
        records.push_back({std::move(e.title), std::move(e.url), std::move(e.singer), std::move(e.album)});
    }
    return HttpResponse::text(200, hotListPage(records), kHtmlType);
}

// Only the address counts: a song of this library, whatever host name the client used.
// The other fields are the client's words and never reach a page.
HttpResponse LibraryService::recommend(const HttpRequest& request)
{
    const std::string raw = rawQueryValue(request.target, "url");
    std::int64_t number = 0;
    if (raw.size() <= kMaxRecommendedUrl * 3 && SongNumberInUrl(percentDecode(raw), number) && db_.song(number))
        library_.noteRecommendation(number);
    return HttpResponse::text(200, recommendAnswerPage(), kHtmlType);
}

HttpResponse LibraryService::portal(const HttpRequest&)
{
    return HttpResponse::text(200, libraryPortalPage(db_.counts(kNewestShown), library_.scanning()), kHtmlType);
}

HttpResponse LibraryService::song(const HttpRequest& request, std::int64_t number, const std::string& extension)
{
    const std::optional<SongFile> file = db_.songFile(number);
    if (!file || file->extension != extension)
        return HttpResponse::status(404);
    std::int64_t size = 0;
    bool outOfDescriptors = false;
    const int fd = OpenIndexedFile(file->path, file->device, file->inode, size, outOfDescriptors);
    if (fd < 0) {
        if (outOfDescriptors) {
            LogRarely("descriptors", "out of file descriptors: a song request was answered 503");
            return HttpResponse::status(503).header("Retry-After", "1");
        }
        return HttpResponse::status(404);
    }
    if (fromFirstByte(request))
        library_.notePlay(number, request.client);
    const char* type = typeOf(extension);
    HttpResponse response = RangedResponse(request.range, static_cast<std::uint64_t>(size),
                                           [fd, type](int code, std::uint64_t start, std::uint64_t length) {
                                               return HttpResponse::file(code, fd, start, length, type);
                                           });
    if (response.kind() != HttpResponse::BodyKind::File)
        CloseDescriptor(fd);   // 416: the file was not handed to an answer
    response.header("Accept-Ranges", "bytes");
    return response;
}

}  // namespace quavrel::catalog
