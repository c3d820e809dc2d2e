#include "songs/services.h"

namespace quavrel {
namespace {
ServiceAddresses g_services;
}

const ServiceAddresses& services() { return g_services; }
void setServices(const ServiceAddresses& addresses) { g_services = addresses; }

std::string serviceUrl(const std::string& server, const std::string& pathAndQuery)
{
    return "http://" + server + pathAndQuery;
}

}  // namespace quavrel
