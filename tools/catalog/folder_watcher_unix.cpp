#include "tools/catalog/folder_watcher.h"

#include "tools/catalog/log.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

namespace quavrel::catalog {

struct FolderWatcher::State {
    Events events;
    unsigned maxWatches = 0;
    int fd = -1;
    int stopPipe[2] = {-1, -1};
    std::mutex mutex;
    std::map<int, std::string> folders;   // watch descriptor -> folder
    std::thread thread;
    bool limitReported = false;
};

namespace {

constexpr std::uint32_t kMask = IN_CREATE | IN_DELETE | IN_CLOSE_WRITE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB |
                                IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

void handle(FolderWatcher::State& s, const inotify_event& e)
{
    if (e.mask & IN_Q_OVERFLOW) {
        s.events.overflow();
        return;
    }
    std::string folder;
    {
        std::lock_guard lock(s.mutex);
        const auto it = s.folders.find(e.wd);
        if (it == s.folders.end())
            return;
        folder = it->second;
        if (e.mask & IN_IGNORED) {
            s.folders.erase(it);
            return;
        }
    }
    if (e.mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
        s.events.changed(folder, true);
        return;
    }
    const std::string name = e.len ? std::string(e.name) : std::string();
    if (name.empty())
        return;
    if (e.mask & IN_ISDIR)
        s.events.changed(folder + "/" + name, true);
    s.events.changed(folder, false);
}

void run(FolderWatcher::State& s)
{
    alignas(inotify_event) char buffer[64 * 1024];
    for (;;) {
        pollfd fds[2] = {{s.fd, POLLIN, 0}, {s.stopPipe[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents)
            return;
        const ssize_t n = ::read(s.fd, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            return;
        }
        for (ssize_t pos = 0; pos < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buffer + pos);
            handle(s, *e);
            pos += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        }
    }
}

}  // namespace

FolderWatcher::FolderWatcher(Events events, unsigned maxWatches) : state_(std::make_unique<State>())
{
    state_->events = std::move(events);
    state_->maxWatches = maxWatches;
    state_->fd = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (state_->fd < 0)
        Log(std::string("folders are not watched (") + std::strerror(errno) + "); changes are found by a check now and then");
    else if (::pipe2(state_->stopPipe, O_CLOEXEC) != 0)
        state_->stopPipe[0] = state_->stopPipe[1] = -1;
}

FolderWatcher::~FolderWatcher()
{
    stop();
    for (int fd : {state_->fd, state_->stopPipe[0], state_->stopPipe[1]}) {
        if (fd >= 0)
            ::close(fd);
    }
}

bool FolderWatcher::watch(const std::string& folder)
{
    State& s = *state_;
    if (s.fd < 0 || s.stopPipe[0] < 0)
        return false;
    std::lock_guard lock(s.mutex);
    if (s.maxWatches && s.folders.size() >= s.maxWatches) {
        if (!s.limitReported)
            Log("watching " + std::to_string(s.maxWatches) +
                " folders, the most allowed; the others are checked now and then");
        s.limitReported = true;
        return false;
    }
    const int wd = ::inotify_add_watch(s.fd, folder.c_str(), kMask);
    if (wd < 0) {
        if (errno == ENOSPC && !s.limitReported) {
            Log("the system's limit of watched folders is reached (fs.inotify.max_user_watches); "
                "the other folders are checked now and then");
            s.limitReported = true;
        }
        return false;
    }
    s.folders[wd] = folder;
    return true;
}

void FolderWatcher::start()
{
    if (state_->fd < 0 || state_->stopPipe[0] < 0 || state_->thread.joinable())
        return;
    state_->thread = std::thread([this] { run(*state_); });
}

void FolderWatcher::stop()
{
    if (!state_->thread.joinable())
        return;
    const char byte = 1;
    (void)!::write(state_->stopPipe[1], &byte, 1);
    state_->thread.join();
}

}  // namespace quavrel::catalog
