#pragma once
// Song download: the whole body is fetched into memory on a client of its own, and only
// then written to the chosen file, so a failed fetch never creates or changes a file.
#include <string>

#include "http/http_client.h"

namespace quavrel {

// The name a download proposes: the bytes of `url` after its last "/" (no decoding; any
// query stays). Empty when there is no "/" or the url ends in one.
std::string SuggestedFileName(const std::string& url);

// Fetches `url` and writes the body to `path`, replacing any file there. The client's
// failures pass through untouched (no file is created or changed); a file that cannot be
// created gives EFCreateError, a body shorter than its announced length gives
// EIdConnClosedGracefully (a broken song is not saved), a write that fails (a full disk) EWriteError, and then the
// earlier file of that name is kept rather than left half-written.
void DownloadSong(const std::string& url, const std::string& path,
                  TIdHTTP::ProgressFn progress = {});

}  // namespace quavrel
