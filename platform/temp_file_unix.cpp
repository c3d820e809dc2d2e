// The temporary files of the crash-safe writer and the folder lock that keeps one writer
// from removing the temporary file another one is still filling.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "platform/atomic_file_parts_unix.h"
#include "platform/temp_name.h"

namespace quavrel {
namespace {

constexpr auto kLockPatience = std::chrono::seconds(2);
constexpr auto kLockRetry = std::chrono::milliseconds(20);

// Waits for a shared lock. A folder that turns out not to be lockable is written unlocked.
void waitForSharedLock(int folder, const std::string& path)
{
    const auto deadline = std::chrono::steady_clock::now() + kLockPatience;
    while (::flock(folder, LOCK_SH | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            return;
        if (std::chrono::steady_clock::now() >= deadline)
            ThrowCreateError(path, EWOULDBLOCK);
        std::this_thread::sleep_for(kLockRetry);
    }
}

}  // namespace

FolderLock LockFolder(int folder, const std::string& path)
{
    if (::flock(folder, LOCK_EX | LOCK_NB) == 0)
        return FolderLock::kExclusive;
    if (errno != EWOULDBLOCK)
        return FolderLock::kNone;
    waitForSharedLock(folder, path);
    return FolderLock::kShared;
}

// flock drops the old lock before it takes the new one, so this may have to wait too.
void ShareFolderLock(int folder, const std::string& path) { waitForSharedLock(folder, path); }

int CreateTempFile(int folder, const std::string& name, mode_t mode, std::string& tempName)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempName = NewTempName(name);
        const int fd = ::openat(folder, tempName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

void RemoveLeftoverTemps(int folder, const std::string& name)
{
    const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0)
        return;
    DIR* entries = ::fdopendir(listing);
    if (!entries) {
        ::close(listing);
        return;
    }
    while (const dirent* entry = ::readdir(entries)) {
        if (!IsTempNameOf(entry->d_name, name))
            continue;
        // Only plain files of this user: anything else of that name is not a writer's.
        struct stat st {};
        if (::fstatat(folder, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == ::geteuid())
            ::unlinkat(folder, entry->d_name, 0);
    }
    ::closedir(entries);
}

}  // namespace quavrel
