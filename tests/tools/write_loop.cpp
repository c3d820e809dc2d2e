// quavrel-write-loop KIND DIR [COUNT]: a test aid for crash safety, built with the tests
// and never installed (it overwrites the files it is pointed at without a question).
// Rewrites one of the program's own files again and again through the program's own
// writers, alternating two complete versions: pass 1 writes version A, pass 2 version B,
// pass 3 A again, and so on. B is longer than A and differs from it throughout, so a tail
// of B left over under a later A, or a write that never reached the file, shows. A test kills it at
// random moments and then checks that the file is always one whole version, never a mix
// or a torn one, and that no temporary files pile up. By hand it shows the same on any file system (a network share, a USB
// stick): run it, pull the plug or kill it, look at the file.
//   KIND default.m3u  the play-list writer              -> DIR/default.m3u
//   KIND key.lst      the keyword-history writer        -> DIR/key.lst
//   KIND user.reg     the registry, with its hive under XDG_CONFIG_HOME=DIR
//                                                       -> DIR/quavrel/user.reg
// COUNT: passes to make before exiting with 0; without it the loop never ends. So
// "quavrel-write-loop KIND DIR 1" leaves version A and "... 2" version B for comparison.
// Prints "writing" on a line of its own just before the first pass, so that a caller
// can time its kill from there rather than from the start of the process.
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "media/m3u.h"
#include "platform/command_line.h"
#include "platform/environment.h"
#include "platform/exception.h"
#include "platform/registry.h"
#include "settings/keyword_history.h"
#include "settings/settings.h"

namespace quavrel {
namespace {

// Big enough that a write takes a while, so kills land in the middle of one. Version A
// has two thirds of B's entries.
constexpr int kRows = 3000;
constexpr int kKeywords = 6000;
constexpr size_t kHiveText = 150000;

template <typename Count>
Count entriesOf(char version, Count full) { return version == 'A' ? full * 2 / 3 : full; }

// "歌曲" in GBK, so the versions carry the code page's double-byte text too.
const char kSong[] = "\xB8\xE8\xC7\xFA";

std::vector<MediaPtr> playList(char version)
{
    std::vector<MediaPtr> rows;
    const int count = entriesOf(version, kRows);
    rows.reserve(count);
    for (int i = 0; i < count; ++i) {
        MediaPtr media = NewMedia();
        media->Title = std::string(kSong) + version + "-" + std::to_string(i);
        media->Url = "http://127.0.0.1/" + std::string(1, version) + "/" + std::to_string(i) + ".mp3";
        rows.push_back(std::move(media));
    }
    return rows;
}

KeywordList keywords(char version)
{
    KeywordList entries;
    const int count = entriesOf(version, kKeywords);
    entries.reserve(count);
    for (int i = 0; i < count; ++i)
        entries.push_back(std::string(1, version) + kSong + std::to_string(i));
    return entries;
}

std::string hiveText(char version)
{
    std::string text;
    const size_t size = entriesOf(version, kHiveText);
    text.reserve(size);
    while (text.size() < size)
        text += std::string(1, version) + kSong + "\\\"";
    return text;
}

int writeLoop(const std::vector<std::string>& args)
{
    if (args.size() < 2 || args.size() > 3) {
        std::fprintf(stderr, "usage: quavrel-write-loop default.m3u|key.lst|user.reg DIR [COUNT]\n");
        return 2;
    }
    const std::string& kind = args[0];
    const std::string dir = args[1];
    long count = -1;
    if (args.size() == 3) {
        char* end = nullptr;
        count = std::strtol(args[2].c_str(), &end, 10);
        if (!end || *end || count < 1) {
            std::fprintf(stderr, "quavrel-write-loop: COUNT must be a positive number\n");
            return 2;
        }
    }

    std::function<void(char)> write;
    if (kind == "default.m3u") {
        const auto a = playList('A'), b = playList('B');
        write = [=](char v) { WriteM3UFile(dir + "/default.m3u", v == 'A' ? a : b); };
    } else if (kind == "key.lst") {
        const auto a = keywords('A'), b = keywords('B');
        write = [=](char v) { SaveKeywordHistory(dir + "/key.lst", v == 'A' ? a : b); };
    } else if (kind == "user.reg") {
        if (dir.empty() || dir[0] != '/') {
            std::fprintf(stderr, "quavrel-write-loop: user.reg needs an absolute DIR\n");
            return 2;
        }
        SetEnvironmentValue("XDG_CONFIG_HOME", dir);
        const std::string a = hiveText('A'), b = hiveText('B');
        write = [=](char v) {
            auto key = OpenUserRegistry()->openKey(kConfigKey);
            key->writeString("WriteLoop", v == 'A' ? a : b);
        };
    } else {
        std::fprintf(stderr, "quavrel-write-loop: unknown kind '%s'\n", kind.c_str());
        return 2;
    }

    std::fputs("writing\n", stdout);
    std::fflush(stdout);
    try {
        for (long pass = 1; count < 0 || pass <= count; ++pass)
            write(pass % 2 == 1 ? 'A' : 'B');
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s: %s\n", e.className(), e.message().c_str());
        return 1;
    }
    return 0;
}

}  // namespace
}  // namespace quavrel

int main(int argc, char** argv)
{
    // The words as UTF-8, so that a folder's name reaches the writers whatever the code page.
    const std::vector<std::string> words = quavrel::CommandLineArguments(argc, argv);
    return quavrel::writeLoop(std::vector<std::string>(words.begin() + 1, words.end()));
}
