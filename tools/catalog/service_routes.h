#pragma once
// The paths the catalogue service answers, the same for the demo catalogue and a music
// library; each of them fills in the pages behind the paths.
#include "tools/catalog/http_server.h"

#include <cstdint>
#include <string>

namespace quavrel::catalog {

class CatalogPages {
public:
    virtual ~CatalogPages() = default;
    virtual HttpResponse search(const HttpRequest& request) = 0;        // /searchmp3
    virtual HttpResponse hotList(const HttpRequest& request) = 0;       // /hotlist.asp
    virtual HttpResponse recommend(const HttpRequest& request) = 0;     // /recommend.asp
    virtual HttpResponse portal(const HttpRequest& request) = 0;        // /index_quavrel.asp and /
    // /songs/NUMBER.EXT
    virtual HttpResponse song(const HttpRequest& request, std::int64_t number, const std::string& extension) = 0;
};

// GET and HEAD of the paths above; 405 for other methods, 404 for other paths.
HttpResponse AnswerRequest(CatalogPages& pages, const HttpRequest& request);

}  // namespace quavrel::catalog
