#pragma once
// The demo catalogue's answers: the invented songs with their tones, including the songs
// that answer badly on purpose (dead, redirected, without a length, empty, big, tiny), so
// the program's link probe has every case to filter; the fixed hot list with this run's
// recommendations; the games-portal page. Used when no library folder is given.
#include "tools/catalog/audio_assets.h"
#include "tools/catalog/catalog.h"
#include "tools/catalog/hot_list.h"
#include "tools/catalog/service_routes.h"

namespace quavrel::catalog {

class DemoService : public CatalogPages {
public:
    DemoService(const Catalog& catalog, const AudioAssets& audio);

    HttpResponse search(const HttpRequest& request) override;
    HttpResponse hotList(const HttpRequest& request) override;
    HttpResponse recommend(const HttpRequest& request) override;
    HttpResponse portal(const HttpRequest& request) override;
    HttpResponse song(const HttpRequest& request, std::int64_t number, const std::string& extension) override;

private:
    int redirectTargetFor(int id) const;

    const Catalog& catalog_;
    const AudioAssets& audio_;
    HotList recommended_;
};

}  // namespace quavrel::catalog
