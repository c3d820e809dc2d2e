#pragma once
// Replaces a file in one step: the bytes go to a new temporary file in the target's folder,
// are flushed to disk, and the temporary file is renamed over the target. A failure or a
// crash at any moment leaves either the old or the new complete file, never a partial one.
// Used for default.m3u, key.lst, the settings hive, the autostart entry, downloaded songs
// and the files quavrel-net saves.
//
// What the target is decides how it is written:
// - a link is followed to the file it names; that file is replaced and the link stays;
// - a replaced file keeps its mode and, where the system allows, its owner and group; a new
//   one gets read and write for everyone less the umask;
// - a file without its owner's write bit is never replaced, not even by root;
// - a device or a FIFO is opened and written in place, never replaced; a FIFO that nobody
//   reads is refused at once rather than waited on;
// - a file the user may write in a folder that does not let them replace it (a read-only
//   folder, or a sticky one such as /tmp when the file is another user's) is written in
//   place: the new contents are held in memory and the space they need is reserved
//   before the old contents are touched, so a full disk fails while the file is still
//   whole. Only a failure of the disk itself in the middle could leave it half written.
//
// The temporary file is always created afresh (never an existing file, never through a
// link) with a name of the form ".NAME.XXXXXX.tmp". One left by a killed writer is removed
// by the next save of the same target. Writers hold a shared flock on the target's folder
// while they write; the save that clears leftovers holds it exclusively for a moment. A
// save that cannot get its lock within about 2 seconds (another program holds the folder
// locked) gives up with the create-failure error.
//
// On Windows the same rules hold in its terms: a file with the read-only attribute is never
// replaced, a replaced file keeps its hidden, system and archive attributes, a file whose
// folder refuses a new file is written in place as above, and a writer keeps its temporary
// file open and closed to every other program instead of locking the folder.
#include <cstddef>
#include <memory>
#include <string>

#include "platform/exception.h"
#include "platform/system_error.h"

namespace quavrel {

// "Stream write error": the bytes could not all be written or flushed. error() is the
// system's error number (ENOSPC, or ERROR_DISK_FULL on Windows, for a full disk), for
// callers whose message names the reason through FileErrorText.
class EStreamWriteError : public EWriteError {
public:
    explicit EStreamWriteError(int error) : EWriteError("Stream write error"), error_(error) {}
    int error() const noexcept { return error_; }

private:
    int error_;
};

// A file being written. Nothing is visible at the target before commit(); without commit()
// the target stays as it was.
class AtomicFile {
public:
    // Throws EFCreateError "Cannot create file \"PATH\". REASON" when the target cannot be
    // written at all.
    explicit AtomicFile(const std::string& path);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Throws EStreamWriteError when the bytes cannot all be written.
    void write(const char* data, size_t size);
    // Puts the bytes in place. Throws EStreamWriteError when they cannot be written or
    // flushed, EFCreateError when the target cannot be replaced.
    void commit();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The whole of `bytes` as the new content of `path`, with AtomicFile's errors.
void WriteFileAtomically(const std::string& path, const std::string& bytes);

}  // namespace quavrel
