#pragma once
// The library's index: one SQLite database (WAL, every change in a transaction) holding
// the songs, their stable numbers, the full-text indexes and the hot-list counts. One
// service at a time: a lock file beside the database keeps a second one out. A file that
// is damaged or belongs to another program is set aside and a new index is built, keeping
// every song number that can still be read from the old file.
//
// Writing methods are called by the library's one writer thread only; reading methods
// from any thread, each on a connection of its own from a small pool.
#include "tools/catalog/os_files.h"
#include "tools/catalog/sqlite.h"
#include "tools/catalog/tag_reader.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace quavrel::catalog {

// What the scan knows of a file, to decide whether to read it again.
struct IndexedFile {
    std::int64_t id = 0;
    std::string path;   // bytes, as the file system has them
    FileStamp stamp;
    bool present = false;
};

// A song as it is added or updated.
struct SongRecord {
    std::string path;
    std::string extension;   // lower case, without the dot
    FileStamp stamp;
    SongFields fields;
    std::string name;        // the file name, decoded to UTF-8, for the search
};

// A song as pages show it (UTF-8).
struct SongListing {
    std::int64_t id = 0;
    std::string extension;
    std::string title;
    std::string singer;
    std::string album;
};

// What a song address needs to send the file.
struct SongFile {
    std::string path;
    std::string extension;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

struct LibraryCounts {
    std::int64_t songs = 0;
    std::int64_t singers = 0;
    std::int64_t albums = 0;
    std::vector<SongListing> newest;
};

class Database {
public:
    // Opens or creates the index in `file`. Throws std::runtime_error with a message for
    // the user when another service holds it or it cannot be made.
    explicit Database(const std::string& file);
    ~Database();

    const std::string& file() const { return file_; }

    // ---- writing: the writer thread only ----
    SqliteConnection& writer() { return *writer_; }
    std::optional<IndexedFile> fileAt(const std::string& path);
    std::vector<IndexedFile> filesWithIdentity(std::uint64_t device, std::uint64_t inode);
    // Every song number the index shows as present, with its path.
    std::vector<IndexedFile> presentFiles();
    // The same for the files anywhere under `folder`.
    std::vector<IndexedFile> presentFilesUnder(const std::string& folder);
    std::int64_t addSong(const SongRecord& song);
    // Gives song `id` the file, stamp and fields of `song` and shows it again.
    void updateSong(std::int64_t id, const SongRecord& song);
    // Gone songs keep their number and their counts, so a file that comes back (a disk
    // plugged in again) gets its old address back.
    void markGone(std::int64_t id);
    void countRecommendation(std::int64_t id);
    void countPlay(std::int64_t id);

    // ---- reading: any thread ----
    // Runs `use` with a reading connection of its own.
    void read(const std::function<void(SqliteConnection&)>& use);
    std::optional<SongFile> songFile(std::int64_t id);
    std::optional<SongListing> song(std::int64_t id);
    // The most recommended songs first, then the most played; only songs with a count.
    std::vector<SongListing> hotList(int limit);
    LibraryCounts counts(int newest);

private:
    std::unique_ptr<SqliteConnection> openConnection(bool readOnly) const;
    void openOrRebuild();
    void createSchema();
    void salvageNumbers(const std::string& oldFile);
    // The writer's statement for `sql`, prepared once: a scan asks the same few
    // questions for every file.
    SqliteStatement& writerStatement(const std::string& sql);

    std::string file_;
    ExclusiveLock lock_;
    std::unique_ptr<SqliteConnection> writer_;
    std::map<std::string, std::unique_ptr<SqliteStatement>> writerStatements_;
    std::mutex poolMutex_;
    std::vector<std::unique_ptr<SqliteConnection>> pool_;
};

// The connection settings every connection of the index uses, and the check of an
// existing file; exposed for the benchmark that builds a large index from rows.
void PrepareConnection(SqliteConnection& connection);

}  // namespace quavrel::catalog
