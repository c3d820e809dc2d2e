#pragma once
// The pieces of AtomicFile on Windows: what a path leads to, writing, and the temporary
// files. Only atomic_file_win.cpp and its parts use them.
#include <windows.h>

#include <string>

#include "platform/system_error.h"

namespace quavrel {

// ---- What a save writes ----

struct SaveTarget {
    enum class Kind {
        kNew,       // nothing there yet
        kReplace,   // a file on a disk, replaced by the new one
        kInPlace,   // a device or a pipe, written as it is
    };
    Kind kind = Kind::kNew;
    std::string path;     // the file itself, at the end of any link
    DWORD attributes = 0; // of that file, unless kNew
};

// Follows `path` through a link and looks at what is there. Throws the create-failure
// error naming `path` when it cannot be written: a folder, a read-only file, a file this
// user may not write or another program holds closed to writers.
SaveTarget InspectSaveTarget(const std::string& path);

// ---- Writing ----

// Writes all of `data` at `offset`, or at the file position when `offset` is negative.
// Returns 0 or the system's error number of the write that failed.
int WriteAll(HANDLE file, const char* data, size_t size, long long offset = -1);

// Writes `bytes` over the regular file open for writing as `file` and flushes it: the
// space is reserved first, so that a full disk fails before the old contents are touched.
// Returns 0 or the system's error number of the failure.
int RewriteInPlace(HANDLE file, const std::string& bytes);

// ---- Temporary files ----

// `folder` and `name` joined by one separator.
std::string JoinPath(const std::string& folder, const std::string& name);

// Creates a new temporary file for the target named `name` in `folder`, never opening an
// existing one, open for writing, renaming and deleting by this process alone. Returns its
// handle and sets `tempPath`; INVALID_HANDLE_VALUE with the last error set on failure.
HANDLE CreateTempFile(const std::string& folder, const std::string& name, std::string& tempPath);

// Removes the temporary files of the target named `name` that writers left in `folder`.
// One that a writer still has open cannot be removed, so it stays.
void RemoveLeftoverTemps(const std::string& folder, const std::string& name);

}  // namespace quavrel
