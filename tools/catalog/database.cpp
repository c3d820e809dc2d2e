#include "tools/catalog/database.h"

#include "tools/catalog/char_tokenizer.h"
#include "tools/catalog/log.h"

#include <cstdio>
#include <ctime>
#include <filesystem>

namespace quavrel::catalog {
namespace {

// "QVCT": marks a file as this service's index; a database without it is not ours.
constexpr std::int64_t kApplicationId = 0x51564354;
constexpr std::int64_t kSchemaVersion = 1;

// The schema.
//   songs        one row per audio file ever indexed. `id` is the song number in its
//                address: AUTOINCREMENT never hands out a number twice, not even the
//                number of a deleted row. `path` holds the file's bytes as the file
//                system has them; `dev`/`ino` tell a renamed file from a new one; `size`
//                and `mtime` (nanoseconds) tell whether it must be read again. A file
//                that is gone keeps its row with `present` 0. `recommended` and `played`
//                are the hot-list counts. Text columns are UTF-8.
//   songs_text   full-text index (trigram) of title, singer, album and file name of the
//                present songs, for keywords of three characters and more.
//   songs_chars  the same with one token per character, for keywords of one and two.
// Both indexes read their text from `songs` and are kept in step by the triggers.
//   songs_order  the order of result pages, walked directly when a keyword finds many.
const char kSchema[] = R"sql(
CREATE TABLE songs(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  path BLOB NOT NULL UNIQUE,
  ext TEXT NOT NULL,
  size INTEGER NOT NULL,
  mtime INTEGER NOT NULL,
  dev INTEGER NOT NULL,
  ino INTEGER NOT NULL,
  title TEXT NOT NULL,
  singer TEXT NOT NULL,
  album TEXT NOT NULL,
  track INTEGER NOT NULL,
  name TEXT NOT NULL,
  added INTEGER NOT NULL,
  present INTEGER NOT NULL DEFAULT 1,
  recommended INTEGER NOT NULL DEFAULT 0,
  played INTEGER NOT NULL DEFAULT 0);
CREATE INDEX songs_identity ON songs(dev, ino);
CREATE INDEX songs_added ON songs(added);
CREATE INDEX songs_hot ON songs(recommended DESC, played DESC) WHERE recommended > 0 OR played > 0;
CREATE VIRTUAL TABLE songs_text USING fts5(title, singer, album, name,
  content='songs', content_rowid='id', tokenize='trigram');
CREATE VIRTUAL TABLE songs_chars USING fts5(title, singer, album, name,
  content='songs', content_rowid='id', tokenize='quavrel_chars', detail='full');
CREATE INDEX songs_order ON songs(present, singer COLLATE NOCASE, album COLLATE NOCASE, track,
  title COLLATE NOCASE);
CREATE TRIGGER songs_insert AFTER INSERT ON songs WHEN new.present BEGIN
  INSERT INTO songs_text(rowid, title, singer, album, name) VALUES (new.id, new.title, new.singer, new.album, new.name);
  INSERT INTO songs_chars(rowid, title, singer, album, name) VALUES (new.id, new.title, new.singer, new.album, new.name);
END;
CREATE TRIGGER songs_delete AFTER DELETE ON songs WHEN old.present BEGIN
  INSERT INTO songs_text(songs_text, rowid, title, singer, album, name)
    VALUES ('delete', old.id, old.title, old.singer, old.album, old.name);
  INSERT INTO songs_chars(songs_chars, rowid, title, singer, album, name)
    VALUES ('delete', old.id, old.title, old.singer, old.album, old.name);
END;
CREATE TRIGGER songs_update AFTER UPDATE OF title, singer, album, name, present ON songs BEGIN
  INSERT INTO songs_text(songs_text, rowid, title, singer, album, name)
    SELECT 'delete', old.id, old.title, old.singer, old.album, old.name WHERE old.present;
  INSERT INTO songs_chars(songs_chars, rowid, title, singer, album, name)
    SELECT 'delete', old.id, old.title, old.singer, old.album, old.name WHERE old.present;
  INSERT INTO songs_text(rowid, title, singer, album, name)
    SELECT new.id, new.title, new.singer, new.album, new.name WHERE new.present;
  INSERT INTO songs_chars(rowid, title, singer, album, name)
    SELECT new.id, new.title, new.singer, new.album, new.name WHERE new.present;
END;
)sql";

const char kSongColumns[] = "id, ext, title, singer, album";

std::int64_t pragmaValue(SqliteConnection& db, const std::string& name)
{
    SqliteStatement stmt(db, "PRAGMA " + name);
    return stmt.step() ? stmt.integer(0) : 0;
}

SongListing songListingOf(const SqliteStatement& stmt)
{
    return {stmt.integer(0), stmt.text(1), stmt.text(2), stmt.text(3), stmt.text(4)};
}

IndexedFile indexedFileOf(const SqliteStatement& stmt)
{
    IndexedFile f;
    f.id = stmt.integer(0);
    f.path = stmt.text(1);
    f.stamp.size = stmt.integer(2);
    f.stamp.mtimeNs = stmt.integer(3);
    f.stamp.device = static_cast<std::uint64_t>(stmt.integer(4));
    f.stamp.inode = static_cast<std::uint64_t>(stmt.integer(5));
    f.stamp.regular = true;
    f.present = stmt.integer(6) != 0;
    return f;
}

const char kIndexedFileColumns[] = "SELECT id, path, size, mtime, dev, ino, present FROM songs ";

// Why an existing file cannot serve as the index; "" when it can.
std::string unusableBecause(SqliteConnection& db)
{
    const std::int64_t applicationId = pragmaValue(db, "application_id");
    const std::int64_t version = pragmaValue(db, "user_version");
    if (applicationId == 0 && version == 0 && pragmaValue(db, "page_count") <= 1)
        return "";   // a new, empty file
    if (applicationId != kApplicationId)
        return "it is not a quavrel-catalog index";
    if (version != kSchemaVersion)
        return "it is an index of another version";
    SqliteStatement check(db, "PRAGMA quick_check(1)");
    if (!check.step() || check.text(0) != "ok")
        return "it is damaged (" + check.text(0) + ")";
    return "";
}

void bindRecord(SqliteStatement& stmt, const SongRecord& song)
{
    stmt.bindBlob(1, song.path)
        .bind(2, song.extension)
        .bind(3, song.stamp.size)
        .bind(4, song.stamp.mtimeNs)
        .bind(5, static_cast<std::int64_t>(song.stamp.device))
        .bind(6, static_cast<std::int64_t>(song.stamp.inode))
        .bind(7, song.fields.title)
        .bind(8, song.fields.singer)
        .bind(9, song.fields.album)
        .bind(10, static_cast<std::int64_t>(song.fields.track))
        .bind(11, song.name);
}

void moveAside(const std::string& from, const std::string& to)
{
    std::error_code ignored;
    std::filesystem::remove(to, ignored);
    std::filesystem::rename(from, to, ignored);
}

}  // namespace

void PrepareConnection(SqliteConnection& connection)
{
    if (!RegisterCharTokenizer(connection.handle()))
        throw std::runtime_error("this SQLite has no full-text search (FTS5)");
    sqlite3_busy_timeout(connection.handle(), 10000);
    connection.exec("PRAGMA temp_store=MEMORY");
}

Database::Database(const std::string& file) : file_(file)
{
    std::error_code ignored;
    const std::filesystem::path folder = std::filesystem::path(file).parent_path();
    if (!folder.empty())
        std::filesystem::create_directories(folder, ignored);
    std::string error;
    if (!lock_.acquire(file + ".lock", error))
        throw std::runtime_error("the database " + file + " is " + error +
                                 (error.rfind("in use", 0) == 0 ? "; stop that one first or give another --database"
                                                                : ""));
    openOrRebuild();
}

Database::~Database() = default;

std::unique_ptr<SqliteConnection> Database::openConnection(bool readOnly) const
{
    const int flags = readOnly ? SQLITE_OPEN_READONLY : (SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    auto connection = std::make_unique<SqliteConnection>(file_, flags);
    PrepareConnection(*connection);
    return connection;
}

void Database::openOrRebuild()
{
    std::string problem;
    try {
        writer_ = openConnection(false);
        writer_->exec("PRAGMA journal_mode=WAL");
        problem = unusableBecause(*writer_);
    } catch (const SqliteError& e) {
        if (!e.corrupt())
            throw std::runtime_error("cannot open the database " + file_ + ": " + e.what());
        problem = std::string("it is damaged (") + e.what() + ")";
    }
    const bool fresh = problem.empty() && pragmaValue(*writer_, "application_id") == 0;
    if (!problem.empty()) {
        writer_.reset();
        const std::string aside = file_ + ".bad";
        moveAside(file_, aside);
        moveAside(file_ + "-wal", aside + "-wal");
        std::error_code ignored;
        std::filesystem::remove(file_ + "-shm", ignored);
        Log("the database " + file_ + " cannot be used: " + problem + "; it was set aside as " + aside +
            " and a new index is built");
        writer_ = openConnection(false);
        writer_->exec("PRAGMA journal_mode=WAL");
    }
    writer_->exec("PRAGMA synchronous=NORMAL");
    if (fresh || !problem.empty()) {
        try {
            createSchema();
        } catch (const SqliteError& e) {
            throw std::runtime_error("cannot create the database " + file_ + ": " + e.what());
        }
        if (!problem.empty())
            salvageNumbers(file_ + ".bad");
    }
}

void Database::createSchema()
{
    SqliteTransaction transaction(*writer_);
    writer_->exec(kSchema);
    writer_->exec("PRAGMA application_id=" + std::to_string(kApplicationId));
    writer_->exec("PRAGMA user_version=" + std::to_string(kSchemaVersion));
    transaction.commit();
}

// Reads what it can of the old file's songs, row by row until the damage, and keeps each
// as a gone song: when the scan finds its file again it gets its old number back. The new
// index never hands out a number the old one had given.
void Database::salvageNumbers(const std::string& oldFile)
{
    std::int64_t kept = 0;
    try {
        SqliteConnection old("file:" + oldFile + "?immutable=1", SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
        if (pragmaValue(old, "application_id") != kApplicationId)
            return;
        SqliteTransaction transaction(*writer_);
        SqliteStatement insert(*writer_,
                               "INSERT OR IGNORE INTO songs(id, path, ext, size, mtime, dev, ino, title, singer, album,"
                               " track, name, added, present, recommended, played)"
                               " VALUES (?1, ?2, ?3, -1, 0, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, 0, ?12, ?13)");
        std::int64_t highest = 0;
        try {
            SqliteStatement rows(old, "SELECT id, path, ext, dev, ino, title, singer, album, track, name, added,"
                                      " recommended, played FROM songs");
            while (rows.step()) {
                insert.bind(1, rows.integer(0)).bindBlob(2, rows.text(1)).bind(3, rows.text(2));
                insert.bind(4, rows.integer(3)).bind(5, rows.integer(4)).bind(6, rows.text(5));
                insert.bind(7, rows.text(6)).bind(8, rows.text(7)).bind(9, rows.integer(8));
                insert.bind(10, rows.text(9)).bind(11, rows.integer(10)).bind(12, rows.integer(11));
                insert.bind(13, rows.integer(12));
                insert.run();
                highest = std::max(highest, rows.integer(0));
                ++kept;
            }
        } catch (const SqliteError&) {
            // The damage: keep what came before it.
        }
        try {
            SqliteStatement seq(old, "SELECT seq FROM sqlite_sequence WHERE name = 'songs'");
            if (seq.step())
                highest = std::max(highest, seq.integer(0));
        } catch (const SqliteError&) {
        }
        SqliteStatement setSequence(*writer_, "UPDATE sqlite_sequence SET seq = ?1 WHERE name = 'songs'");
        setSequence.bind(1, highest).run();
        SqliteStatement addSequence(*writer_,
                                    "INSERT INTO sqlite_sequence(name, seq) SELECT 'songs', ?1"
                                    " WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name = 'songs')");
        addSequence.bind(1, highest).run();
        transaction.commit();
    } catch (const SqliteError&) {
        return;
    }
    if (kept > 0)
        Log("kept the numbers of " + std::to_string(kept) + " songs from the old index");
}

SqliteStatement& Database::writerStatement(const std::string& sql)
{
    std::unique_ptr<SqliteStatement>& stmt = writerStatements_[sql];
    if (!stmt)
        stmt = std::make_unique<SqliteStatement>(*writer_, sql);
    return *stmt;
}

std::optional<IndexedFile> Database::fileAt(const std::string& path)
{
    SqliteStatement& stmt = writerStatement(std::string(kIndexedFileColumns) + "WHERE path = ?1");
    SqliteReset reset(stmt);
    stmt.bindBlob(1, path);
    if (!stmt.step())
        return std::nullopt;
    return indexedFileOf(stmt);
}

std::vector<IndexedFile> Database::filesWithIdentity(std::uint64_t device, std::uint64_t inode)
{
    SqliteStatement& stmt = writerStatement(std::string(kIndexedFileColumns) + "WHERE dev = ?1 AND ino = ?2");
    SqliteReset reset(stmt);
    stmt.bind(1, static_cast<std::int64_t>(device)).bind(2, static_cast<std::int64_t>(inode));
    std::vector<IndexedFile> files;
    while (stmt.step())
        files.push_back(indexedFileOf(stmt));
    return files;
}

std::vector<IndexedFile> Database::presentFiles()
{
    SqliteStatement stmt(*writer_, std::string(kIndexedFileColumns) + "WHERE present");
    std::vector<IndexedFile> files;
    while (stmt.step())
        files.push_back(indexedFileOf(stmt));
    return files;
}

std::vector<IndexedFile> Database::presentFilesUnder(const std::string& folder)
{
    // Paths under "F" sort between "F/" and "F0", the byte after "/".
    SqliteStatement stmt(*writer_, std::string(kIndexedFileColumns) + "WHERE path > ?1 AND path < ?2 AND present");
    stmt.bindBlob(1, folder + "/").bindBlob(2, folder + "0");
    std::vector<IndexedFile> files;
    while (stmt.step())
        files.push_back(indexedFileOf(stmt));
    return files;
}

std::int64_t Database::addSong(const SongRecord& song)
{
    SqliteStatement& stmt = writerStatement(
                         "INSERT INTO songs(path, ext, size, mtime, dev, ino, title, singer, album, track, name, added)"
                         " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)");
    bindRecord(stmt, song);
    stmt.bind(12, static_cast<std::int64_t>(std::time(nullptr)));
    stmt.run();
    return sqlite3_last_insert_rowid(writer_->handle());
}

void Database::updateSong(std::int64_t id, const SongRecord& song)
{
    SqliteStatement& stmt = writerStatement(
                         "UPDATE songs SET path = ?1, ext = ?2, size = ?3, mtime = ?4, dev = ?5, ino = ?6, title = ?7,"
                         " singer = ?8, album = ?9, track = ?10, name = ?11, present = 1 WHERE id = ?12");
    bindRecord(stmt, song);
    stmt.bind(12, id);
    stmt.run();
}

void Database::markGone(std::int64_t id)
{
    SqliteStatement& stmt = writerStatement("UPDATE songs SET present = 0 WHERE id = ?1");
    stmt.bind(1, id).run();
}

void Database::countRecommendation(std::int64_t id)
{
    SqliteStatement& stmt = writerStatement("UPDATE songs SET recommended = recommended + 1 WHERE id = ?1 AND present");
    stmt.bind(1, id).run();
}

void Database::countPlay(std::int64_t id)
{
    SqliteStatement& stmt = writerStatement("UPDATE songs SET played = played + 1 WHERE id = ?1 AND present");
    stmt.bind(1, id).run();
}

void Database::read(const std::function<void(SqliteConnection&)>& use)
{
    std::unique_ptr<SqliteConnection> connection;
    {
        std::lock_guard lock(poolMutex_);
        if (!pool_.empty()) {
            connection = std::move(pool_.back());
            pool_.pop_back();
        }
    }
    if (!connection) {
        connection = openConnection(true);
        connection->exec("PRAGMA cache_size=-2048");
    }
    struct GiveBack {
        Database& db;
        std::unique_ptr<SqliteConnection>& c;
        ~GiveBack()
        {
            std::lock_guard lock(db.poolMutex_);
            db.pool_.push_back(std::move(c));
        }
    } giveBack{*this, connection};
    use(*connection);
}

std::optional<SongFile> Database::songFile(std::int64_t id)
{
    std::optional<SongFile> found;
    read([&](SqliteConnection& db) {
        SqliteStatement stmt(db, "SELECT path, ext, dev, ino FROM songs WHERE id = ?1 AND present");
        stmt.bind(1, id);
        if (stmt.step())
            found = SongFile{stmt.text(0), stmt.text(1), static_cast<std::uint64_t>(stmt.integer(2)),
                             static_cast<std::uint64_t>(stmt.integer(3))};
    });
    return found;
}

std::optional<SongListing> Database::song(std::int64_t id)
{
    std::optional<SongListing> found;
    read([&](SqliteConnection& db) {
        SqliteStatement stmt(db, std::string("SELECT ") + kSongColumns + " FROM songs WHERE id = ?1 AND present");
        stmt.bind(1, id);
        if (stmt.step())
            found = songListingOf(stmt);
    });
    return found;
}

std::vector<SongListing> Database::hotList(int limit)
{
    std::vector<SongListing> rows;
    read([&](SqliteConnection& db) {
        SqliteStatement stmt(db, std::string("SELECT ") + kSongColumns +
                                     " FROM songs WHERE (recommended > 0 OR played > 0) AND present"
                                     " ORDER BY recommended DESC, played DESC, id LIMIT ?1");
        stmt.bind(1, limit);
        while (stmt.step())
            rows.push_back(songListingOf(stmt));
    });
    return rows;
}

LibraryCounts Database::counts(int newest)
{
    LibraryCounts counts;
    read([&](SqliteConnection& db) {
        SqliteStatement totals(db, "SELECT count(*), count(DISTINCT NULLIF(singer, '')),"
                                   " count(DISTINCT NULLIF(album, '')) FROM songs"
                                   " WHERE present");
        if (totals.step()) {
            counts.songs = totals.integer(0);
            counts.singers = totals.integer(1);
            counts.albums = totals.integer(2);
        }
        SqliteStatement recent(db, std::string("SELECT ") + kSongColumns +
                                       " FROM songs WHERE present ORDER BY added DESC, id DESC LIMIT ?1");
        recent.bind(1, newest);
        while (recent.step())
            counts.newest.push_back(songListingOf(recent));
    });
    return counts;
}

}  // namespace quavrel::catalog
