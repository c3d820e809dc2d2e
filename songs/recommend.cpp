#include "songs/recommend.h"

#include "http/http_client.h"
#include "songs/services.h"
#include "songs/text.h"

namespace quavrel {

std::string RecommendPath(const TMedia& media)
{
    // Fields are read into the request here, before anything is sent, so a change of the
    // result list during the wait cannot reach it.
    return FillTemplate("/recommend.asp?subject=%s&url=%s&author=%s&special=%s",
                        {QueryEncode(media.Title), QueryEncode(media.Url),
                         QueryEncode(media.Singer), QueryEncode(media.Album)});
}

bool SendRecommendation(const TMedia& media)
{
    const std::string url = serviceUrl(services().makerServer, RecommendPath(media));
    try {
        TIdHTTP client;
        client.GetText(url);
        return true;
    } catch (const Exception&) {
        return false;
    }
}

}  // namespace quavrel
