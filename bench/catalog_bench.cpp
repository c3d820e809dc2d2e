// The catalogue service over a music library, against the Music Player Daemon (mpd, the
// Debian package) on the same files in the same run:
//   - the first scan of 10,000 tagged MP3 files (warm cache): ours from start to "scan
//     finished", mpd from start to the end of its database update;
//   - the check of the unchanged folder at a restart;
//   - search latency of 200 keywords of 1, 2 and 3+ characters over one kept-alive
//     connection: ours GET /searchmp3, mpd's "search any";
//   - on an index of 100,000 songs (rows made directly, files hard links of one MP3): the
//     time from start to the first answered search, search latency, resident memory.
// Usage: catalog_bench BUILD   (QUAVREL_CATALOG names the service binary)
#include "platform/codepage.h"
#include "songs/text.h"
#include "tests/support/catalog/catalog_service.h"
#include "tests/support/catalog/song_files.h"
#include "tools/catalog/database.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <iostream>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using quavrel::test::CatalogService;

constexpr int kFiles = 10000;
constexpr int kRows = 100000;
constexpr int kKeywords = 200;

double msSince(Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }

void row(const std::string& figure, double ours, const std::string& peer, const std::string& ratio, const std::string& goal)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.1f", ours);
    std::cout << "ROW|" << figure << "|" << text << "|" << peer << "|" << ratio << "|" << goal << std::endl;
}

std::string fixed(double v, int digits = 1)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", digits, v);
    return text;
}

// ---- made-up music ----

const std::vector<std::string> kHanzi = [] {
    const std::string text =
        "爱晴天后来雨夜月光星河海风山水花开春秋冬夏城南北东西红白青蓝心梦远方故乡时间回忆等待"
        "你我他她们的是不在有人这个中大小上下一二三千万年日天地明亮温柔孤单快乐伤悲歌声舞曲"
        "周杰伦林俊陈奕迅王菲刘德华张学友邓紫棋李宇春孙燕姿蔡依林梁静茹许嵩薛之谦毛不易";
    std::vector<std::string> chars;
    for (std::size_t i = 0; i < text.size(); i += 3)
        chars.push_back(text.substr(i, 3));
    return chars;
}();
const std::vector<std::string> kWords = {"love", "night", "rain", "summer", "river", "light", "dream", "home",
                                         "blue", "fire", "stone", "wind", "heart", "road", "star", "song",
                                         "ocean", "city", "moon", "gold", "silver", "echo", "shadow", "winter"};

struct Fields {
    std::string title, singer, album;
};

Fields songFields(std::mt19937& rng)
{
    auto hanzi = [&](int n) {
        std::string s;
        for (int i = 0; i < n; ++i)
            s += kHanzi[rng() % kHanzi.size()];
        return s;
    };
    auto words = [&](int n) {
        std::string s;
        for (int i = 0; i < n; ++i)
            s += (i ? " " : "") + kWords[rng() % kWords.size()];
        s[0] = static_cast<char>(s[0] - 'a' + 'A');
        return s;
    };
    if (rng() % 3 == 0)
        return {words(2 + rng() % 2), words(2), words(1 + rng() % 2)};
    return {hanzi(2 + rng() % 4), hanzi(2 + rng() % 2), hanzi(2 + rng() % 3)};
}

// Keywords as people type them: a piece of 1, 2 or 3+ characters of a real title or
// singer, or a Latin word.
std::vector<std::string> keywordsFor(const std::vector<Fields>& songs, std::mt19937& rng)
{
    std::vector<std::string> keywords;
    while (static_cast<int>(keywords.size()) < kKeywords) {
        const Fields& f = songs[rng() % songs.size()];
        const std::string& text = rng() % 2 ? f.title : f.singer;
        const int want = 1 + static_cast<int>(keywords.size() % 3);   // 1, 2, 3 characters in turn
        if (static_cast<unsigned char>(text[0]) < 0x80) {
            const std::string word = text.substr(0, text.find(' '));
            keywords.push_back(want == 3 ? word : word.substr(0, want));
            continue;
        }
        const int chars = static_cast<int>(text.size() / 3);
        if (chars < want)
            continue;
        const int from = static_cast<int>(rng() % (chars - want + 1));
        keywords.push_back(text.substr(from * 3, want * 3));
    }
    return keywords;
}

// ---- one kept-alive connection ----

class Connection {
public:
    explicit Connection(int port) : fd_(quavrel::test::ConnectTo(port)) {}
    ~Connection() { ::close(fd_); }
    bool ok() const { return fd_ >= 0; }

    void send(const std::string& bytes) { ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }

    // Reads until `done(buffer)` says the answer is complete; returns it.
    template <typename Done>
    std::string receive(Done done)
    {
        std::string in;
        char buf[65536];
        while (!done(in)) {
            const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n <= 0)
                throw std::runtime_error("connection closed");
            in.append(buf, static_cast<std::size_t>(n));
        }
        return in;
    }

private:
    int fd_;
};

bool httpComplete(const std::string& in)
{
    const std::size_t head = in.find("\r\n\r\n");
    if (head == std::string::npos)
        return false;
    const std::size_t at = in.find("Content-Length: ");
    if (at == std::string::npos || at > head)
        throw std::runtime_error("an answer without a length");
    return in.size() >= head + 4 + std::stoul(in.substr(at + 16));
}

bool mpdComplete(const std::string& in)
{
    return in.size() >= 3 && (in.compare(in.size() - 3, 3, "OK\n") == 0 || in.rfind("ACK ", 0) == 0 ||
                              in.find("\nACK ") != std::string::npos);
}

struct Latency {
    double median = 0, p99 = 0;
    int answered = 0;
};

Latency summarise(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    Latency l;
    l.answered = static_cast<int>(ms.size());
    if (!ms.empty()) {
        l.median = ms[ms.size() / 2];
        l.p99 = ms[std::min(ms.size() - 1, static_cast<std::size_t>(ms.size() * 0.99))];
    }
    return l;
}

std::string gbkQuery(const std::string& keyword)
{
    return quavrel::QueryEncode(quavrel::utf8ToGbk(keyword));
}

Latency ourSearches(int port, const std::vector<std::string>& keywords)
{
    Connection c(port);
    std::vector<double> ms;
    std::vector<std::pair<double, std::string>> slowest;
    for (const std::string& k : keywords) {
        const Clock::time_point t = Clock::now();
        c.send("GET /searchmp3?type=5&keyword=" + gbkQuery(k) + "&items=1 HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        const std::string answer = c.receive(httpComplete);
        ms.push_back(msSince(t));
        slowest.emplace_back(ms.back(), k);
        if (answer.rfind("HTTP/1.1 200", 0) != 0)
            throw std::runtime_error("search failed: " + answer.substr(0, 40));
    }
    std::sort(slowest.rbegin(), slowest.rend());
    std::cerr << "catalog_bench: slowest keywords:";
    for (std::size_t i = 0; i < 5 && i < slowest.size(); ++i)
        std::cerr << " " << slowest[i].second << " " << fixed(slowest[i].first) << " ms;";
    std::cerr << std::endl;
    return summarise(ms);
}

Latency mpdSearches(int port, const std::vector<std::string>& keywords)
{
    Connection c(port);
    c.receive([](const std::string& in) { return in.find('\n') != std::string::npos; });   // greeting
    std::vector<double> ms;
    for (const std::string& k : keywords) {
        const Clock::time_point t = Clock::now();
        c.send("search any \"" + k + "\"\n");
        const std::string answer = c.receive(mpdComplete);
        ms.push_back(msSince(t));
        if (answer.find("ACK") != std::string::npos)
            throw std::runtime_error("mpd search failed: " + answer);
    }
    return summarise(ms);
}

// ---- the peer ----

int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

class Mpd {
public:
    Mpd(const std::string& music, const std::string& work) : port_(freePort())
    {
        const std::string conf = work + "/mpd.conf";
        std::ofstream(conf) << "music_directory \"" << music << "\"\ndb_file \"" << work << "/mpd.db\"\n"
                            << "log_file \"" << work << "/mpd.log\"\nbind_to_address \"127.0.0.1\"\nport \""
                            << port_ << "\"\nzeroconf_enabled \"no\"\naudio_output {\n type \"null\"\n name \"null\"\n}\n";
        conf_ = conf;
    }
    ~Mpd()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    int port() const { return port_; }

    // Starts mpd on an empty database and returns the milliseconds until its update of
    // the music folder has ended with `songs` songs.
    double startAndUpdate(int songs)
    {
        const Clock::time_point start = Clock::now();
        pid_ = ::fork();
        if (pid_ == 0) {
            const int null = ::open("/dev/null", O_WRONLY);   // its own log has its words
            ::dup2(null, STDOUT_FILENO);
            ::dup2(null, STDERR_FILENO);
            ::execlp("mpd", "mpd", "--no-daemon", conf_.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        std::unique_ptr<Connection> c;
        while (!c || !c->ok()) {
            c = std::make_unique<Connection>(port_);
            if (msSince(start) > 600000)
                throw std::runtime_error("mpd did not start");
            if (!c->ok())
                ::usleep(2000);
        }
        c->receive([](const std::string& in) { return in.find('\n') != std::string::npos; });
        for (;;) {
            c->send("status\nstats\n");
            // "status" and "stats" each end in "OK"; only "stats" has "songs:".
            const std::string reply =
                c->receive([](const std::string& in) { return in.find("songs:") != std::string::npos && mpdComplete(in); });
            if (reply.find("updating_db") == std::string::npos &&
                reply.find("songs: " + std::to_string(songs) + "\n") != std::string::npos)
                return msSince(start);
            if (msSince(start) > 600000)
                throw std::runtime_error("mpd's update did not end: " + reply);
            ::usleep(5000);
        }
    }

private:
    int port_;
    pid_t pid_ = -1;
    std::string conf_;
};

// ---- ours ----

// Starts the service and returns the milliseconds until its first scan has finished.
double startAndScan(CatalogService& service, const std::vector<std::string>& args)
{
    const Clock::time_point start = Clock::now();
    const std::string failed = service.start(args);
    if (!failed.empty())
        throw std::runtime_error(failed);
    if (!service.waitForMessage("scan finished", std::chrono::seconds(600)))
        throw std::runtime_error("no first scan: " + service.messages());
    return msSince(start);
}

long residentKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return 0;
}

void readAll(const std::string& folder)
{
    std::vector<char> buf(1 << 16);
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(folder)) {
        if (!e.is_regular_file())
            continue;
        std::ifstream in(e.path(), std::ios::binary);
        while (in.read(buf.data(), static_cast<std::streamsize>(buf.size())))
            ;
    }
}

// ---- the 10,000 files ----

// A library as people keep one: albums of ten songs in a folder per singer and album.
void tenThousandFiles(const std::string& work)
{
    const std::string music = work + "/music";
    const bool made = fs::exists(music);   // a folder kept from an earlier run by hand
    std::mt19937 rng(19);
    std::vector<Fields> songs;
    Fields album;
    for (int i = 0; i < kFiles; ++i) {
        if (i % 10 == 0) {
            album = songFields(rng);
            if (i % 30 != 0)
                album.singer = songs.back().singer;   // three albums a singer
        }
        Fields f = songFields(rng);
        f.singer = album.singer;
        f.album = album.album;
        songs.push_back(f);
        if (made)
            continue;
        const std::string folder = music + "/" + f.singer + "/" + f.album;
        fs::create_directories(folder);
        quavrel::test::WriteMp3(folder + "/" + std::to_string(i % 10 + 1) + " " + f.title + ".mp3",
                                {f.title, f.singer, f.album, i % 10 + 1},
                                i % 2 ? quavrel::test::TagForm::Id3v2Utf16 : quavrel::test::TagForm::Id3v2Utf8);
    }
    readAll(music);   // warm cache for both
    std::cerr << "catalog_bench: " << kFiles << " files made" << std::endl;

    fs::remove(work + "/mpd.db");
    fs::remove(work + "/catalog.db");
    fs::remove(work + "/catalog.db-wal");
    Mpd mpd(music, work);
    const double mpdScan = mpd.startAndUpdate(kFiles);
    CatalogService ours;
    const double ourScan = startAndScan(ours, {"--library", music, "--database", work + "/catalog.db"});
    row("first scan of 10,000 tagged MP3 files (ms)", ourScan, fixed(mpdScan, 0) + " (mpd)", fixed(mpdScan / ourScan, 2),
        ">= 1.00");

    const std::vector<std::string> keywords = keywordsFor(songs, rng);
    ourSearches(ours.port(), keywords);   // a first round for the page cache of both
    mpdSearches(mpd.port(), keywords);
    const Latency ourLatency = ourSearches(ours.port(), keywords);
    const Latency mpdLatency = mpdSearches(mpd.port(), keywords);
    row("search at 10,000 songs, median of 200 keywords (ms)", ourLatency.median, fixed(mpdLatency.median, 2) + " (mpd)",
        fixed(mpdLatency.median / ourLatency.median, 2), "reported");
    row("search at 10,000 songs, 99th percentile (ms)", ourLatency.p99, fixed(mpdLatency.p99, 2) + " (mpd)",
        fixed(mpdLatency.p99 / ourLatency.p99, 2), "reported");
    ours.stop();

    CatalogService again;
    const double rescan = startAndScan(again, {"--library", music, "--database", work + "/catalog.db"});
    const std::string log = again.messages();
    row("restart and check of the unchanged 10,000 files (ms)", rescan, "-", "-", "< 1000");
    if (log.find(" 0 songs indexed") == std::string::npos)
        throw std::runtime_error("the unchanged folder was read again: " + log);
}

// ---- the 100,000-song index ----

void hundredThousandRows(const std::string& work)
{
    fs::create_directories(work);
    const std::string music = work + "/big";
    // A file system allows some 65,000 links to one file: one template per 50,000 songs.
    constexpr int kLinksPerFile = 50000;
    quavrel::catalog::FileStamp stamp;
    std::string error;
    std::string one;
    std::mt19937 rng(23);
    std::vector<Fields> songs;
    if (fs::exists(work + "/big.db")) {   // kept from an earlier run by hand
        for (int i = 0; i < kRows; ++i)
            songs.push_back(songFields(rng));
    } else {
        quavrel::catalog::Database db(work + "/big.db");
        quavrel::catalog::SqliteTransaction transaction(db.writer());
        for (int i = 0; i < kRows; ++i) {
            const std::string folder = music + "/" + std::to_string(i / 500);
            if (i % 500 == 0)
                fs::create_directories(folder);
            const std::string path = folder + "/" + std::to_string(i) + ".mp3";
            if (i % kLinksPerFile == 0) {
                one = work + "/template" + std::to_string(i / kLinksPerFile) + ".mp3";
                quavrel::test::WriteMp3(one, {"x", "y", "z", 1}, quavrel::test::TagForm::Id3v2Utf8);
                quavrel::catalog::StatFile(one, stamp, error);
            }
            fs::create_hard_link(one, path);
            const Fields f = songFields(rng);
            songs.push_back(f);
            quavrel::catalog::SongRecord record{path, "mp3", stamp, {f.title, f.singer, f.album, i % 20 + 1},
                                                std::to_string(i)};
            db.addSong(record);
        }
        transaction.commit();
    }
    std::cerr << "catalog_bench: " << kRows << " rows made" << std::endl;
    const std::vector<std::string> keywords = keywordsFor(songs, rng);

    CatalogService service;
    const Clock::time_point start = Clock::now();
    const std::string failed = service.start({"--library", music, "--database", work + "/big.db"});
    if (!failed.empty())
        throw std::runtime_error(failed);
    Connection c(service.port());
    c.send("GET /searchmp3?type=5&keyword=" + gbkQuery(keywords[2]) + "&items=1 HTTP/1.1\r\nHost: h\r\n\r\n");
    const std::string first = c.receive(httpComplete);
    const double toFirstAnswer = msSince(start);
    if (first.find("class=p14") == std::string::npos)
        throw std::runtime_error("the first search found nothing");
    row("restart on 100,000 songs: start to first search answered (ms)", toFirstAnswer, "-", "-", "< 1000");
    if (!service.waitForMessage("scan finished", std::chrono::seconds(600)))
        throw std::runtime_error("no check of the big folder");
    long rss = residentKiB(service.pid());
    ourSearches(service.port(), keywords);
    const Latency latency = ourSearches(service.port(), keywords);
    rss = std::max(rss, residentKiB(service.pid()));
    row("search at 100,000 songs, median of 200 keywords (ms)", latency.median, "-", "-", "reported");
    row("search at 100,000 songs, 99th percentile (ms)", latency.p99, "-", "-", "< 10");
    row("resident memory with 100,000 songs (MiB)", rss / 1024.0, "-", "-", "< 64");
}

}  // namespace

// QUAVREL_CATALOG_BENCH_DIR keeps the 10,000 files in that folder between runs by hand,
// and QUAVREL_CATALOG_BENCH_PART=10000 or 100000 runs one part.
int main()
{
    const char* kept = std::getenv("QUAVREL_CATALOG_BENCH_DIR");
    const std::string part = std::getenv("QUAVREL_CATALOG_BENCH_PART") ? std::getenv("QUAVREL_CATALOG_BENCH_PART") : "";
    char name[] = "/var/tmp/quavrel-catalog-bench.XXXXXX";
    if (!kept && !::mkdtemp(name)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string work = kept ? kept : name;
    fs::create_directories(work);
    int status = 0;
    try {
        if (part != "100000")
            tenThousandFiles(work);
        if (part != "10000")
            hundredThousandRows(work + "/rows");
    } catch (const std::exception& e) {
        std::cerr << "catalog_bench: " << e.what() << std::endl;
        status = 1;
    }
    std::error_code ignored;
    if (!kept)
        fs::remove_all(work, ignored);
    return status;
}
