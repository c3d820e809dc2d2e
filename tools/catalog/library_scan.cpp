#include "tools/catalog/library_scan.h"

#include "tools/catalog/legacy_text.h"
#include "tools/catalog/log.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>

namespace quavrel::catalog {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// Changes are committed in batches, so songs become searchable while a long scan runs.
constexpr int kBatchChanges = 256;
constexpr auto kBatchTime = std::chrono::milliseconds(300);
constexpr auto kProgressEvery = std::chrono::seconds(2);
constexpr std::int64_t kProgressFiles = 1000;
constexpr std::size_t kMaxReported = 100000;

std::string lowerAscii(std::string s)
{
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

std::string lastName(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string parentOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

bool sameContent(const FileStamp& a, const FileStamp& b)
{
    return a.size == b.size && a.mtimeNs == b.mtimeNs && a.device == b.device && a.inode == b.inode;
}

bool startsWithFolder(const std::string& path, const std::string& folder)
{
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           (folder.back() == '/' || path[folder.size()] == '/');
}

}  // namespace

struct LibraryScan::Walk {
    ScanCounts counts;
    std::unordered_set<std::int64_t> seen;
    std::set<std::pair<std::uint64_t, std::uint64_t>> foldersWalked;
    std::optional<SqliteTransaction> batch;
    int batchChanges = 0;
    Clock::time_point batchStart;
    Clock::time_point lastProgress = Clock::now();
};

LibraryScan::LibraryScan(Database& db, std::vector<std::string> roots) : db_(db), roots_(std::move(roots)) {}

bool LibraryScan::insideLibrary(const std::string& canonicalPath) const
{
    for (const std::string& root : roots_) {
        if (canonicalPath == root || startsWithFolder(canonicalPath, root))
            return true;
    }
    return false;
}

void LibraryScan::reportOnce(const std::string& path, std::int64_t mtimeNs, const std::string& problem)
{
    if (reported_.size() >= kMaxReported)
        return;
    if (reported_.insert(path + '\0' + std::to_string(mtimeNs)).second)
        Log("skipped " + DecodeFileName(path) + ": " + problem);
}

// Opens the batch's transaction at the first change and commits it now and then.
void LibraryScan::changed(Walk& w)
{
    if (!w.batch) {
        w.batch.emplace(db_.writer());
        w.batchStart = Clock::now();
        w.batchChanges = 0;
    }
    if (++w.batchChanges >= kBatchChanges || Clock::now() - w.batchStart >= kBatchTime) {
        w.batch->commit();
        w.batch.reset();
    }
}

ScanCounts LibraryScan::scanAll()
{
    Walk w;
    for (const std::string& root : roots_)
        walk(root, true, w);
    markUnseenGone(db_.presentFiles(), w);
    if (w.batch)
        w.batch->commit();
    return w.counts;
}

ScanCounts LibraryScan::scanFolder(const std::string& folder, bool deep)
{
    Walk w;
    if (insideLibrary(folder))
        walk(folder, deep, w);
    std::vector<IndexedFile> candidates;
    for (IndexedFile& f : db_.presentFilesUnder(folder)) {
        if (deep || parentOf(f.path) == folder)
            candidates.push_back(std::move(f));
    }
    markUnseenGone(candidates, w);
    if (w.batch)
        w.batch->commit();
    return w.counts;
}

void LibraryScan::walk(const std::string& start, bool deep, Walk& w)
{
    std::vector<std::string> folders{start};
    while (!folders.empty()) {
        const std::string folder = std::move(folders.back());
        folders.pop_back();
        FileStamp stamp;
        std::string error;
        if (!StatFile(folder, stamp, error) || !stamp.directory)
            continue;
        if (!w.foldersWalked.insert({stamp.device, stamp.inode}).second)
            continue;   // met before through a link: a loop or a second way in
        if (onFolder)
            onFolder(folder);
        std::error_code ec;
        fs::directory_iterator it(folder, ec);
        if (ec) {
            reportOnce(folder, stamp.mtimeNs, "the folder cannot be read (" + ec.message() + ")");
            continue;
        }
        // The listing tells files, folders and links apart without a call per entry.
        std::vector<std::pair<std::string, fs::file_type>> entries;
        for (; it != fs::directory_iterator(); it.increment(ec)) {
            if (ec)
                break;
            std::error_code typeError;
            fs::file_type type = fs::file_type::unknown;
            if (it->is_symlink(typeError))
                type = fs::file_type::symlink;
            else if (it->is_directory(typeError))
                type = fs::file_type::directory;
            else if (it->is_regular_file(typeError))
                type = fs::file_type::regular;
            entries.emplace_back(it->path().filename().native(), type);
        }
        for (const auto& [name, type] : entries) {
            if (name.empty() || name[0] == '.')
                continue;   // hidden files and folders, the trash among them
            const std::string path = (folder == "/" ? "" : folder) + "/" + name;
            std::string target = path;
            fs::file_type targetType = type;
            if (type == fs::file_type::symlink) {
                std::error_code linkError;
                const fs::path resolved = fs::canonical(path, linkError);
                if (linkError) {
                    reportOnce(path, 0, "a link to nothing");
                    continue;
                }
                target = resolved.native();
                if (!insideLibrary(target)) {
                    reportOnce(path, 0, "a link that leads out of the library folder");
                    continue;
                }
                targetType = fs::status(target, linkError).type();
            }
            if (targetType == fs::file_type::directory) {
                if (deep)
                    folders.push_back(target);   // a new folder of a shallow check has a check of its own
            } else if (targetType == fs::file_type::regular) {
                checkFile(target, parentOf(target), w);
            }
        }
    }
}

void LibraryScan::checkFile(const std::string& path, const std::string& folder, Walk& w)
{
    const std::string fileName = lastName(path);
    const std::size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos || dot == 0)
        return;
    const std::string extension = lowerAscii(fileName.substr(dot + 1));
    if (!IsAudioExtension(extension))
        return;
    ++w.counts.filesSeen;
    if (onProgress && (w.counts.filesSeen % kProgressFiles == 0 || Clock::now() - w.lastProgress >= kProgressEvery)) {
        w.lastProgress = Clock::now();
        onProgress(w.counts);
    }

    FileStamp stamp;
    std::string error;
    if (!StatFile(path, stamp, error))
        return;   // gone since the listing: the sweep at the end takes care of its song
    const std::optional<IndexedFile> known = db_.fileAt(path);
    if (known && known->present && sameContent(known->stamp, stamp)) {
        w.seen.insert(known->id);
        return;
    }

    SongRecord record;
    record.path = path;
    record.extension = extension;
    record.stamp = stamp;
    record.name = DecodeFileName(fileName.substr(0, dot));
    const std::string folderName = insideLibrary(folder) && !std::count(roots_.begin(), roots_.end(), folder)
                                       ? DecodeFileName(lastName(folder))
                                       : std::string();
    std::string problem;
    if (!ReadSongFile(path, record.name, folderName, record.fields, problem)) {
        ++w.counts.skipped;
        reportOnce(path, stamp.mtimeNs, problem);
        return;   // a song that turned bad is not seen, and the sweep marks it gone
    }

    std::int64_t id = known ? known->id : 0;
    if (!known) {
        // A new name for a file the index knows under a path that no longer leads to it
        // is a rename: the song keeps its number. Size and time must agree too, so a new
        // file on the inode of a deleted one is not taken for it.
        for (const IndexedFile& same : db_.filesWithIdentity(stamp.device, stamp.inode)) {
            if (same.stamp.size != stamp.size || same.stamp.mtimeNs != stamp.mtimeNs)
                continue;
            FileStamp now;
            std::string ignored;
            if (!StatFile(same.path, now, ignored) || now.device != same.stamp.device ||
                now.inode != same.stamp.inode) {
                id = same.id;
                break;
            }
        }
    }
    if (id != 0)
        db_.updateSong(id, record);
    else
        id = db_.addSong(record);
    w.seen.insert(id);
    ++w.counts.songsIndexed;
    changed(w);
}

void LibraryScan::markUnseenGone(const std::vector<IndexedFile>& candidates, Walk& w)
{
    for (const IndexedFile& f : candidates) {
        if (w.seen.count(f.id))
            continue;
        db_.markGone(f.id);
        ++w.counts.songsGone;
        changed(w);
    }
}

}  // namespace quavrel::catalog
