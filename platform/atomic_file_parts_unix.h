#pragma once
// The pieces of AtomicFile on POSIX systems: what a path leads to, the folder's lock, and
// the temporary files. Only atomic_file_unix.cpp uses them.
#include <sys/stat.h>

#include <string>

#include "platform/system_error.h"

namespace quavrel {

// ---- What a save writes ----

struct SaveTarget {
    enum class Kind {
        kNew,       // nothing there yet
        kReplace,   // a regular file, replaced by the new one
        kInPlace,   // a device, FIFO or socket, written as it is
    };
    Kind kind = Kind::kNew;
    std::string path;        // the file itself, at the end of any links
    struct stat status {};   // of that file, unless kNew
};

// Follows `path` through its links and looks at what is there. Throws the create-failure
// error naming `path` when it cannot be written: a folder, a regular file without its
// owner's write bit or that this user may not write, a link loop.
SaveTarget InspectSaveTarget(const std::string& path);

// Whether the folder keeps the writer from replacing the target: a sticky folder (such
// as /tmp) lets only the owner of a file, or of the folder, rename over it.
bool StickyFolderRefusesReplacing(const struct stat& folder, const struct stat& target);

// ---- Writing ----

// Writes all of `data` at `offset`, or at the file position when `offset` is negative.
// Returns 0 or the errno of the write that failed.
int WriteAll(int fd, const char* data, size_t size, off_t offset = -1);

// Writes `bytes` over the regular file open for writing at `fd` and flushes it: the space
// is reserved first, so that a full disk or a file-size limit fails before the old
// contents are touched. Returns 0 or the errno of the failure.
int RewriteInPlace(int fd, const std::string& bytes);

// ---- The folder's lock ----

enum class FolderLock {
    kNone,        // the folder cannot be locked (no read right, some network file systems)
    kShared,      // other writers may be busy in the folder too
    kExclusive,   // no other writer is busy in the folder
};

// Takes the folder's lock for a writer: exclusively when that is possible at once,
// otherwise shared. Throws the create-failure error naming `path` when the shared lock is
// not had within about 2 seconds.
FolderLock LockFolder(int folder, const std::string& path);

// Turns an exclusive lock into a shared one, with the same time limit.
void ShareFolderLock(int folder, const std::string& path);

// ---- Temporary files ----

// Creates a new temporary file for the target named `name` in `folder`, never opening an
// existing file or following a link; `mode` as for open(2). Returns its descriptor and sets
// `tempName`; -1 with errno set on failure.
int CreateTempFile(int folder, const std::string& name, mode_t mode, std::string& tempName);

// Removes the temporary files of the target named `name` that writers left in `folder`.
// Only call it while no other writer can be busy there.
void RemoveLeftoverTemps(int folder, const std::string& name);

}  // namespace quavrel
