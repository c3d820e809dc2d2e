#pragma once
// The answers of the catalogue service over a music library: search pages from the
// index, the songs' files by number (never by path), the hot list of the most
// recommended and most played songs, recommendations of this library's songs, and a
// portal page about the library.
#include "tools/catalog/http_server.h"
#include "tools/catalog/library.h"

namespace quavrel::catalog {

class LibraryService {
public:
    explicit LibraryService(Library& library);

    HttpResponse handle(const HttpRequest& request);

private:
    HttpResponse search(const HttpRequest& request);
    HttpResponse hotList(const HttpRequest& request);
    HttpResponse recommend(const HttpRequest& request);
    HttpResponse portal();
    HttpResponse song(const HttpRequest& request, std::int64_t number, const std::string& extension);

    Library& library_;
    Database& db_;
};

}  // namespace quavrel::catalog
