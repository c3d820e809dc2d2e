#pragma once
// Song recommendation: the song's four fields go to the maker's server in one GET request
// on a client of its own; the answer itself is ignored.
#include <string>

#include "media/media.h"

namespace quavrel {

// "/recommend.asp?subject=%s&url=%s&author=%s&special=%s" with Title, Url, Singer and
// Album, each percent-encoded once.
std::string RecommendPath(const TMedia& media);

// Sends the recommendation to the maker's server. True when the server answered the
// request with a success status; false when it failed (no connection, an error status).
// The answer's body is ignored.
bool SendRecommendation(const TMedia& media);

}  // namespace quavrel
