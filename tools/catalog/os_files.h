#pragma once
// The few file-system calls of the catalogue service that the standard library does not
// offer: a file's identity and stamp, opening a song for sending, the lock that keeps a
// second service off a database, and the descriptor limit.
#include <cstdint>
#include <string>

namespace quavrel::catalog {

// What the scan compares: the same device and inode is the same file (a rename keeps
// them); the same size and modification time is the same content.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;
    bool regular = false;
    bool directory = false;
};

// Follows links. False with `error` (the system's reason) when the path cannot be stat'ed.
bool StatFile(const std::string& path, FileStamp& stamp, std::string& error);

// Opens an indexed song for sending. Gives the descriptor and the size at this moment, or
// -1 when the file is gone, is no longer the file that was indexed (another device or
// inode: a file swapped in under the same name is never served), or cannot be opened;
// `outOfDescriptors` tells the last case from the others.
int OpenIndexedFile(const std::string& path, std::uint64_t device, std::uint64_t inode, std::int64_t& size,
                    bool& outOfDescriptors);

void CloseDescriptor(int fd);

// Why `path` cannot be opened for reading ("Permission denied"); "" when it can.
std::string CannotReadReason(const std::string& path);

// The soft limit of open descriptors of this process.
unsigned long DescriptorLimit();

// An exclusive lock held for the life of the object on `path` (created when missing), so
// that two services never write one database. The lock ends with the process, however it
// ends.
class ExclusiveLock {
public:
    ExclusiveLock() = default;
    ~ExclusiveLock();
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

    // False with `error` when another process holds it (or the file cannot be made).
    bool acquire(const std::string& path, std::string& error);

private:
    int fd_ = -1;
};

}  // namespace quavrel::catalog
