#include "tools/catalog/library.h"

#include "tools/catalog/folder_watcher.h"
#include "tools/catalog/library_scan.h"
#include "tools/catalog/log.h"

#include <cstdio>

namespace quavrel::catalog {
namespace {

using Clock = std::chrono::steady_clock;

// Changes come in bursts (a copy of an album): wait for a short quiet, but never longer
// than a few seconds in all.
constexpr auto kQuiet = std::chrono::milliseconds(250);
constexpr auto kMostDelay = std::chrono::seconds(2);
constexpr auto kPlayWindow = std::chrono::minutes(10);
constexpr std::size_t kMaxRecentPlays = 20000;
constexpr std::size_t kMaxPendingCounts = 10000;

std::string rate(std::int64_t files, Clock::duration took)
{
    const double seconds = std::chrono::duration<double>(took).count();
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", seconds > 0 ? files / seconds : 0.0);
    return text;
}

std::string seconds(Clock::duration took)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", std::chrono::duration<double>(took).count());
    return text;
}

}  // namespace

Library::Library(Database& db, LibrarySettings settings)
    : db_(db), settings_(std::move(settings)), scan_(std::make_unique<LibraryScan>(db, settings_.folders))
{
    FolderWatcher::Events events;
    events.changed = [this](const std::string& folder, bool deep) { folderChanged(folder, deep); };
    events.overflow = [this] { everythingChanged(); };
    watcher_ = std::make_unique<FolderWatcher>(std::move(events), settings_.maxWatches);
    scan_->onFolder = [this](const std::string& folder) {
        if (!watcher_->watch(folder))
            polling_ = true;
    };
}

Library::~Library() { stop(); }

void Library::start()
{
    scanning_ = true;
    watcher_->start();
    thread_ = std::thread([this] { run(); });
}

void Library::stop()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
    watcher_->stop();
}

void Library::writing(const char* what, const std::function<void()>& work)
{
    try {
        work();
    } catch (const SqliteError& e) {
        std::string line = std::string("cannot write the index while ") + what + ": " + e.what();
        if (e.full())
            line += "; the disk under " + db_.file() + " is full, and what changed is indexed once there is room";
        LogRarely(line.substr(0, 60), line, 60);
        std::lock_guard lock(mutex_);
        checkAll_ = true;   // try again at the next check
    }
}

void Library::firstScan()
{
    for (const std::string& folder : settings_.folders)
        Log("indexing " + folder);
    const Clock::time_point start = Clock::now();
    scan_->onProgress = [start](const ScanCounts& c) {
        Log("scanning: " + std::to_string(c.filesSeen) + " files seen, " + std::to_string(c.songsIndexed) +
            " songs indexed, " + rate(c.filesSeen, Clock::now() - start) + " files/s");
    };
    writing("scanning", [&] {
        const ScanCounts c = scan_->scanAll();
        Log("scan finished in " + seconds(Clock::now() - start) + " s: " + std::to_string(c.filesSeen) +
            " files, " + std::to_string(c.songsIndexed) + " songs indexed, " + std::to_string(c.songsGone) +
            " gone, " + std::to_string(c.skipped) + " skipped");
    });
    scan_->onProgress = nullptr;
    scanning_ = false;
    if (polling_)
        Log("folders that are not watched are checked every " + std::to_string(settings_.checkSeconds) + " s");
}

void Library::run()
{
    firstScan();
    Clock::time_point nextCheck = Clock::now() + std::chrono::seconds(settings_.checkSeconds);
    Clock::time_point firstDirty{};
    for (;;) {
        std::map<std::string, bool> folders;
        bool checkAll = false;
        {
            std::unique_lock lock(mutex_);
            Clock::time_point deadline = Clock::now() + std::chrono::seconds(1);
            if (polling_ || checkAll_)
                deadline = std::min(deadline, nextCheck);
            if (!dirtyFolders_.empty())
                deadline = std::min({deadline, lastChange_ + kQuiet, firstDirty + kMostDelay});
            wake_.wait_until(lock, deadline, [&] {
                return stopping_ || !plays_.empty() || !recommendations_.empty() ||
                       (!dirtyFolders_.empty() && firstDirty == Clock::time_point{});
            });
            if (stopping_)
                return;
            const Clock::time_point now = Clock::now();
            if (!dirtyFolders_.empty() && firstDirty == Clock::time_point{})
                firstDirty = now;
            if (!dirtyFolders_.empty() && (now - lastChange_ >= kQuiet || now - firstDirty >= kMostDelay)) {
                folders.swap(dirtyFolders_);
                firstDirty = {};
            }
            if ((polling_ || checkAll_) && now >= nextCheck) {
                checkAll = true;
                checkAll_ = false;
                nextCheck = now + std::chrono::seconds(settings_.checkSeconds);
            }
        }
        writeCounts();
        if (checkAll) {
            writing("checking the folders", [&] { scan_->scanAll(); });
        } else {
            for (const auto& [folder, deep] : folders)
                writing("indexing a change", [&, f = folder, d = deep] { scan_->scanFolder(f, d); });
        }
    }
}

void Library::writeCounts()
{
    std::vector<std::int64_t> plays, recommendations;
    {
        std::lock_guard lock(mutex_);
        plays.swap(plays_);
        recommendations.swap(recommendations_);
    }
    if (plays.empty() && recommendations.empty())
        return;
    writing("counting plays", [&] {
        SqliteTransaction transaction(db_.writer());
        for (std::int64_t id : plays)
            db_.countPlay(id);
        for (std::int64_t id : recommendations)
            db_.countRecommendation(id);
        transaction.commit();
    });
}

void Library::folderChanged(const std::string& folder, bool deep)
{
    {
        std::lock_guard lock(mutex_);
        bool& entry = dirtyFolders_[folder];
        entry = entry || deep;
        lastChange_ = Clock::now();
    }
    wake_.notify_all();
}

void Library::everythingChanged()
{
    {
        std::lock_guard lock(mutex_);
        checkAll_ = true;
    }
    wake_.notify_all();
}

void Library::notePlay(std::int64_t song, const std::string& client)
{
    const Clock::time_point now = Clock::now();
    {
        std::lock_guard lock(mutex_);
        auto [it, added] = recentPlays_.try_emplace({client, song}, now);
        if (!added) {
            if (now - it->second < kPlayWindow)
                return;
            it->second = now;
        }
        if (recentPlays_.size() > kMaxRecentPlays) {
            std::erase_if(recentPlays_, [now](const auto& entry) { return now - entry.second >= kPlayWindow; });
            if (recentPlays_.size() > kMaxRecentPlays)
                recentPlays_.clear();   // a flood of addresses: forget rather than grow
        }
        if (plays_.size() < kMaxPendingCounts)
            plays_.push_back(song);
    }
    wake_.notify_all();
}

void Library::noteRecommendation(std::int64_t song)
{
    {
        std::lock_guard lock(mutex_);
        if (recommendations_.size() < kMaxPendingCounts)
            recommendations_.push_back(song);
    }
    wake_.notify_all();
}

}  // namespace quavrel::catalog
