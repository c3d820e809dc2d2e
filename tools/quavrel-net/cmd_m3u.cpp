// quavrel-net m3u-read FILE: reads a play-list file the way the program's play list does
// and prints one line per resulting row, "Title<TAB>Url", then "entries: N" (the entry
// lines read, duplicates included). Text is printed as the GBK bytes of the file.
#include <cstdio>

#include "media/m3u.h"
#include "media/playlist.h"
#include "platform/exception.h"
#include "tools/quavrel-net/command.h"

namespace quavrel::cli {
namespace {

int m3uRead(const Args& args)
{
    if (args.size() != 1)
        return UsageError("m3u-read");
    PlayList list;
    int entries = 0;
    try {
        entries = ReadM3UFile(
            args[0], [&] { list.clear(); }, [&](const MediaPtr& media) { list.add(media); });
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s: %s\n", e.className(), e.message().c_str());
        return 1;
    }
    std::string out;
    for (const MediaPtr& media : list.rows())
        out += media->Title + "\t" + media->Url + "\n";
    out += "entries: " + std::to_string(entries) + "\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

QUAVREL_NET_COMMAND("m3u-read", m3uRead, "m3u-read FILE",
                    "Reads a play-list file the way the program's play list does and prints one line\n"
                    "per row, \"TITLE<TAB>URL\" (GBK bytes as in the file), then \"entries: N\", the\n"
                    "entry lines read, duplicates included. Writes nothing.");

}  // namespace quavrel::cli
