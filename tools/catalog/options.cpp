#include "tools/catalog/options.h"

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace quavrel::catalog {
namespace {

bool readInt(const std::string& text, int low, int high, int& value)
{
    int v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < low || v > high)
        return false;
    value = v;
    return true;
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string home() { return environment("HOME"); }

// The value of NAME="..." in a user-dirs.dirs file, with $HOME expanded, as the shell that
// reads the file would.
std::string userDirsValue(const std::string& file, const std::string& name)
{
    std::ifstream in(file);
    std::string line, value;
    while (std::getline(in, line)) {
        if (line.rfind(name + "=", 0) != 0)
            continue;
        value = line.substr(name.size() + 1);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0)
            value = home() + value.substr(5);
    }
    return value;
}

}  // namespace

std::string UsageText()
{
    return "usage: quavrel-catalog [options]\n"
           "Serves songs to Quavrel: the demo catalogue, or with --library the audio files of\n"
           "music folders (MP3, FLAC, Ogg Vorbis/Opus, WAV), searchable by title, singer, album\n"
           "and file name, kept up to date while files change.\n"
           "  --library DIR       index and serve the audio files under DIR (repeatable)\n"
           "  --music-folder      the user's music folder as `xdg-user-dir MUSIC` names it\n"
           "  --database FILE     the index (default $XDG_CACHE_HOME/quavrel/catalog.db)\n"
           "  --listen ADDRESS    IPv4 or IPv6 address to listen on (default 127.0.0.1;\n"
           "                      0.0.0.0 or :: for every interface)\n"
           "  --port N            port (default 8531, 0 = any free port)\n"
           "  --print-port        print the port on standard output once listening\n"
           "  --check-every S     seconds between checks of folders that cannot be watched\n"
           "                      (default 10)\n"
           "  --max-watches N     watch at most N folders for changes (default: the system's limit)\n"
           "  --assets DIR        folder of the demo catalogue's tone_0.mp3 ... tone_7.mp3\n"
           "  --help              this text\n"
           "Without --library or --music-folder the demo catalogue is served and no index is opened.\n";
}

bool ParseOptions(int argc, char** argv, Options& options, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        auto value = [&] { return std::string(argv[++i]); };
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--print-port") {
            options.printPort = true;
        } else if (arg == "--music-folder") {
            options.musicFolder = true;
        } else if (arg == "--library" && hasValue) {
            options.libraries.push_back(value());
        } else if (arg == "--database" && hasValue) {
            options.database = value();
        } else if (arg == "--listen" && hasValue) {
            options.listen = value();
        } else if (arg == "--assets" && hasValue) {
            options.assets = value();
        } else if (arg == "--port" && hasValue) {
            if (!readInt(value(), 0, 65535, options.port)) {
                error = "--port takes a number from 0 to 65535";
                return false;
            }
        } else if (arg == "--check-every" && hasValue) {
            if (!readInt(value(), 1, 86400, options.checkSeconds)) {
                error = "--check-every takes a number of seconds from 1 to 86400";
                return false;
            }
        } else if (arg == "--max-watches" && hasValue) {
            int n = 0;
            if (!readInt(value(), 1, 100000000, n)) {
                error = "--max-watches takes a positive number";
                return false;
            }
            options.maxWatches = static_cast<unsigned>(n);
        } else {
            error = hasValue || arg.rfind("--", 0) != 0 ? "unknown option " + arg : "unknown option or missing value: " + arg;
            return false;
        }
    }
    return true;
}

std::string DefaultDatabasePath()
{
    std::string cache = environment("XDG_CACHE_HOME");
    if (cache.empty() || cache[0] != '/')
        cache = home() + "/.cache";
    return cache + "/quavrel/catalog.db";
}

bool FindMusicFolder(std::string& folder, std::string& error)
{
    std::string config = environment("XDG_CONFIG_HOME");
    if (config.empty() || config[0] != '/')
        config = home() + "/.config";
    const std::string file = config + "/user-dirs.dirs";
    folder = userDirsValue(file, "XDG_MUSIC_DIR");
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    std::error_code ec;
    if (folder.empty() || folder == home() ||
        (std::filesystem::equivalent(folder, home(), ec) && !ec)) {
        error = "this user has no music folder (XDG_MUSIC_DIR in " + file +
                "); make one with `xdg-user-dirs-update --set MUSIC ~/Music` or give --library DIR";
        return false;
    }
    if (!std::filesystem::is_directory(folder, ec)) {
        error = "the music folder " + folder + " does not exist; create it or give --library DIR";
        return false;
    }
    return true;
}

}  // namespace quavrel::catalog
