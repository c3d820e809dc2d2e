#pragma once
// The command line of quavrel-catalog.
#include <string>
#include <vector>

namespace quavrel::catalog {

struct Options {
    std::vector<std::string> libraries;   // --library, in order given
    bool musicFolder = false;             // --music-folder: the user's music folder too
    std::string database;                 // "" : DefaultDatabasePath()
    std::string listen = "127.0.0.1";
    int port = 8531;
    bool printPort = false;
    std::string assets;                   // "" : the demo tones where the build or the install put them
    int checkSeconds = 10;
    unsigned maxWatches = 0;
    bool help = false;
};

// False with `error` for an unknown option or a bad value.
bool ParseOptions(int argc, char** argv, Options& options, std::string& error);

std::string UsageText();

// $XDG_CACHE_HOME/quavrel/catalog.db (default ~/.cache/quavrel/catalog.db).
std::string DefaultDatabasePath();

// The user's music folder as `xdg-user-dir MUSIC` names it (XDG_MUSIC_DIR in
// $XDG_CONFIG_HOME/user-dirs.dirs). False with `error` when none is set (the home folder
// itself does not count) or it does not exist.
bool FindMusicFolder(std::string& folder, std::string& error);

}  // namespace quavrel::catalog
