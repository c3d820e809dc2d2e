#include "songs/download.h"

#include "platform/atomic_file.h"
#include "platform/ui_thread.h"

namespace quavrel {

std::string SuggestedFileName(const std::string& url)
{
    size_t slash = url.rfind('/');
    return slash == std::string::npos ? std::string() : url.substr(slash + 1);
}

void DownloadSong(const std::string& url, const std::string& path, TIdHTTP::ProgressFn progress)
{
    std::string body;
    {
        TIdHTTP client;
        if (progress)
            client.setProgress(std::move(progress));
        client.setWholeBodyRequired(true);
        client.GetToStream(url, body);
    }
    // A song is many megabytes: writing and syncing it must not stop the window.
    RunKeepingUiAlive([&] { WriteFileAtomically(path, body); });
}

}  // namespace quavrel
