#include "tools/catalog/service_routes.h"

#include "tools/catalog/song_address.h"

namespace quavrel::catalog {

HttpResponse AnswerRequest(CatalogPages& pages, const HttpRequest& request)
{
    if (request.method != "GET" && request.method != "HEAD")
        return HttpResponse::status(405);
    if (request.path == "/searchmp3")
        return pages.search(request);
    if (request.path == "/hotlist.asp")
        return pages.hotList(request);
    if (request.path == "/recommend.asp")
        return pages.recommend(request);
    if (request.path == "/index_quavrel.asp" || request.path == "/")
        return pages.portal(request);
    std::int64_t number = 0;
    std::string extension;
    if (ReadSongPath(request.path, number, extension))
        return pages.song(request, number, extension);
    return HttpResponse::status(404);
}

}  // namespace quavrel::catalog
