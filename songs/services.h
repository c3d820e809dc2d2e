#pragma once
// The addresses of the outside services. Defaults point at the bundled catalogue service;
// the settings may replace them at start-up.
#include <string>

namespace quavrel {

constexpr int kCatalogDefaultPort = 8531;

struct ServiceAddresses {
    std::string searchServer = "127.0.0.1:8531";   // MP3 search service, host[:port]
    std::string makerServer = "127.0.0.1:8531";    // hot list and recommendations
    std::string portalServer = "127.0.0.1:8531";   // games portal page
    std::string supportMail = "support@quavrel.example";
};

// The addresses in force. Written once at start-up, before any request; read-only after.
const ServiceAddresses& services();
void setServices(const ServiceAddresses& addresses);

// "http://" + server + path
std::string serviceUrl(const std::string& server, const std::string& pathAndQuery);

}  // namespace quavrel
