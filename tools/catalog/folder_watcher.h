#pragma once
// Tells the library which folders changed, as the kernel reports it (inotify), on a thread
// of its own. Where a folder cannot be watched (no inotify, or its watch limit reached)
// the watcher says so, and the library falls back to checking everything now and then.
#include <functional>
#include <memory>
#include <string>

namespace quavrel::catalog {

class FolderWatcher {
public:
    struct Events {
        // Something in `folder` changed; `deep` when it is a folder that appeared or went
        // away as a whole, so everything under it must be checked.
        std::function<void(const std::string& folder, bool deep)> changed;
        // The kernel dropped events: everything must be checked.
        std::function<void()> overflow;
    };

    // `maxWatches` 0: as many as the system allows.
    FolderWatcher(Events events, unsigned maxWatches);
    ~FolderWatcher();
    FolderWatcher(const FolderWatcher&) = delete;
    FolderWatcher& operator=(const FolderWatcher&) = delete;

    // Watches `folder` (again, after a rename). False when it cannot be watched.
    bool watch(const std::string& folder);
    void start();
    void stop();

    struct State;

private:
    std::unique_ptr<State> state_;
};

}  // namespace quavrel::catalog
