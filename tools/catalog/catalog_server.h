#pragma once
// The request handlers of the catalogue service: song search pages, the hot list and
// recommendations, the games-portal page and the song files. main() creates one, binds
// the server and hands it to install().
#include "tools/catalog/audio_assets.h"
#include "tools/catalog/catalog.h"
#include "tools/catalog/hot_list.h"

#include <httplib.h>

#include <atomic>
#include <string>

namespace quavrel::catalog {

class CatalogServer {
public:
    CatalogServer(const Catalog& catalog, const AudioAssets& audio);

    // The port actually bound; used for song addresses when a request has no usable Host.
    void setPort(int port) { port_ = port; }
    void install(httplib::Server& server);

private:
    std::string hostOf(const httplib::Request& req) const;
    void search(const httplib::Request& req, httplib::Response& res) const;
    void hotList(const httplib::Request& req, httplib::Response& res) const;
    void recommend(const httplib::Request& req, httplib::Response& res);
    void song(const httplib::Request& req, httplib::Response& res) const;
    int redirectTargetFor(int id) const;

    const Catalog& catalog_;
    const AudioAssets& audio_;
    HotList recommended_;
    std::atomic<int> port_{0};
};

}  // namespace quavrel::catalog
