#pragma once
// The answers of the catalogue service over a music library: search pages from the
// index, the songs' files by number (never by path), the hot list of the most
// recommended and most played songs, recommendations of this library's songs, and a
// portal page about the library.
#include "tools/catalog/library.h"
#include "tools/catalog/service_routes.h"

namespace quavrel::catalog {

class LibraryService : public CatalogPages {
public:
    explicit LibraryService(Library& library);

    HttpResponse search(const HttpRequest& request) override;
    HttpResponse hotList(const HttpRequest& request) override;
    HttpResponse recommend(const HttpRequest& request) override;
    HttpResponse portal(const HttpRequest& request) override;
    HttpResponse song(const HttpRequest& request, std::int64_t number, const std::string& extension) override;

private:
    Library& library_;
    Database& db_;
};

}  // namespace quavrel::catalog
