// libFuzzer target for the M3U reader: any bytes must parse without crashing, every entry
// must obey the reader's rules, and writing the resulting rows and reading them back must
// give the same rows.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/bytes.h"
#include "media/m3u.h"
#include "media/playlist.h"

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace quavrel;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);

    PlayList list;
    int entries = ParseM3U(bytes, [&](const MediaPtr& media) {
        check(!media->Url.empty());
        check(media->Url == Trim(media->Url));
        check(media->Url.find('#') == std::string::npos);
        check(media->Url.find('\n') == std::string::npos);
        check(media->Url.find('\x1A') == std::string::npos);
        check(!media->Title.empty());
        check(media->FileType == "mp3");
        list.add(media);
    });
    check(entries >= list.size());

    // What the writer stores, the reader gives back row for row.
    PlayList again;
    int reread = ParseM3U(FormatM3U(list.rows()), [&](const MediaPtr& m) { again.add(m); });
    check(reread == list.size());
    check(again.size() == list.size());
    for (int row = 0; row < list.size(); ++row) {
        check(again.at(row)->Url == list.at(row)->Url);
        check(again.at(row)->Title == Trim("x" + list.at(row)->Title).substr(1));
    }
    return 0;
}
