#pragma once
// A music library kept in step with its folders: one writer thread runs the first scan
// (songs become searchable as they are indexed, with progress on standard error), then
// the folder watcher's changes, a check of everything now and then where folders cannot
// be watched, and the hot-list counts that the request threads hand it.
#include "tools/catalog/database.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace quavrel::catalog {

class FolderWatcher;
class LibraryScan;

struct LibrarySettings {
    std::vector<std::string> folders;   // canonical
    int checkSeconds = 10;               // the check of everything, where watching fails
    unsigned maxWatches = 0;             // 0: as many as the system allows
};

class Library {
public:
    Library(Database& db, LibrarySettings settings);
    ~Library();

    void start();
    void stop();

    bool scanning() const { return scanning_; }
    Database& database() { return db_; }

    // From the request threads. A play is a GET from byte 0, counted once per client
    // address and song in ten minutes; a recommendation always counts.
    void notePlay(std::int64_t song, const std::string& client);
    void noteRecommendation(std::int64_t song);

private:
    void run();
    void firstScan();
    void applyChanges();
    void writeCounts();
    void folderChanged(const std::string& folder, bool deep);
    void everythingChanged();
    void writing(const char* what, const std::function<void()>& work);

    Database& db_;
    LibrarySettings settings_;
    std::unique_ptr<LibraryScan> scan_;
    std::unique_ptr<FolderWatcher> watcher_;
    std::thread thread_;
    std::atomic<bool> scanning_{false};
    std::atomic<bool> polling_{false};   // some folder is not watched

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    bool checkAll_ = false;
    std::map<std::string, bool> dirtyFolders_;   // folder -> deep
    std::chrono::steady_clock::time_point lastChange_;
    std::vector<std::int64_t> plays_;
    std::vector<std::int64_t> recommendations_;
    std::map<std::pair<std::string, std::int64_t>, std::chrono::steady_clock::time_point> recentPlays_;
};

}  // namespace quavrel::catalog
