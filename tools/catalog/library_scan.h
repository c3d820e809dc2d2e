#pragma once
// Brings the index in line with the library folders. A file whose size and modification
// time are those in the index is not read again, so checking an unchanged folder of
// thousands of songs only looks at the directory entries. A new path whose device and
// inode belong to a song whose old path is gone is that song renamed: it keeps its
// number. Links are followed only when they lead to somewhere inside a library folder,
// and a folder is walked once however many links lead to it. Bad files are reported once
// each and skipped; nothing stops the scan.
#include "tools/catalog/database.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

namespace quavrel::catalog {

struct ScanCounts {
    std::int64_t filesSeen = 0;     // audio files looked at
    std::int64_t songsIndexed = 0;  // added or read again
    std::int64_t songsGone = 0;
    std::int64_t skipped = 0;       // bad files
};

class LibraryScan {
public:
    // `roots`: the library folders, canonical. `onFolder` is told every folder walked (the
    // watcher watches it), `onProgress` is called now and then with the counts so far.
    LibraryScan(Database& db, std::vector<std::string> roots);

    std::function<void(const std::string& folder)> onFolder;
    std::function<void(const ScanCounts&)> onProgress;

    // Every folder; songs not met on the way are marked gone.
    ScanCounts scanAll();
    // One folder after a change in it: its files, its subfolders too when `deep`. Songs
    // that were directly in it (or anywhere under it when `deep`) and are not met are
    // marked gone.
    ScanCounts scanFolder(const std::string& folder, bool deep);

    // True for a path inside one of the library folders (or one of them).
    bool insideLibrary(const std::string& canonicalPath) const;

private:
    struct Walk;
    void walk(const std::string& folder, bool deep, Walk& w);
    void checkFile(const std::string& path, const std::string& folder, Walk& w);
    void markUnseenGone(const std::vector<IndexedFile>& candidates, Walk& w);
    void changed(Walk& w);
    void reportOnce(const std::string& path, std::int64_t mtimeNs, const std::string& problem);

    Database& db_;
    std::vector<std::string> roots_;
    std::set<std::string> reported_;
};

}  // namespace quavrel::catalog
