// Bad input and faults around the catalogue service: broken and hostile files in the
// library, folders and files it may not read (as an unprivileged user), files that vanish
// while it scans, a full disk under its database, clients that stall, and more
// connections than it has descriptors. Nothing crashes, every good song stays served.
#include "tests/tools/catalog_library.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

namespace quavrel::test {
namespace {

// The user the service runs as where a test needs permission bits to count: root reads
// everything, so as root the service runs as nobody.
std::string unprivileged() { return ::geteuid() == 0 ? "nobody" : ""; }

void giveToUnprivileged(const std::string& path)
{
    if (::geteuid() == 0)
        std::filesystem::permissions(path, std::filesystem::perms::all, std::filesystem::perm_options::add);
}

// Lines of the log that name `text`.
int linesNaming(const std::string& log, const std::string& text)
{
    int n = 0;
    for (std::size_t pos = log.find(text); pos != std::string::npos; pos = log.find(text, pos + 1))
        ++n;
    return n;
}

// Starts a connection without waiting for it: a crowd does not wait politely.
int connectWithoutWaiting(int port, const std::string& from)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, from.c_str(), &local.sin_addr);
    ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    return fd;
}

// True while the server has neither closed `fd` nor sent anything on it.
bool stillOpen(int fd)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) == 0;
}

TEST(CatalogFaults, BrokenFilesAreListedOnceAndSkipped)
{
    LibraryFolder l;
    WriteMp3(l.file("good/fine.mp3"), {"Fine Song", "Good Singer", "Good", 1}, TagForm::Id3v2Utf8);
    writeFile(l.file("bad/empty.mp3"), "");
    writeFile(l.file("bad/text.mp3"), "This is a shopping list, not a song.\n");
    writeFile(l.file("bad/picture.flac"), std::string("\x89PNG\r\n\x1a\n", 8) + std::string(500, '\0'));
    // An ID3v2 head that promises far more than the file holds, then nothing.
    writeFile(l.file("bad/truncated-tag.mp3"), std::string("ID3\x03\x00\x00\x7F\x7F\x7F\x7F", 10) + "TIT2");
    // Tags whose frame sizes lie, before real audio.
    writeFile(l.file("bad/lying-frames.mp3"),
              std::string("ID3\x03\x00\x00\x00\x00\x00\x20TIT2\x7F\xFF\xFF\xFF\x00\x00\x01", 21) +
                  std::string(11, 'x') + SilentMp3());
    // Half of a good file: the audio that is there still plays.
    WriteMp3(l.file("good/whole.mp3"), {"Cut Song", "Good Singer", "Good", 2}, TagForm::Id3v2Utf8);
    const std::string whole = readFile(l.music() + "/good/whole.mp3");
    writeFile(l.music() + "/good/whole.mp3", whole.substr(0, whole.size() / 2));
    // Links: a loop, one out of the library, one to nothing.
    std::filesystem::create_directory_symlink(l.music() + "/good", l.music() + "/good/loop");
    WriteMp3(l.data() + "/outside.mp3", {"Outside Song", "Stranger", "Out", 1}, TagForm::Id3v2Utf8);
    std::filesystem::create_symlink(l.data() + "/outside.mp3", l.music() + "/good/out.mp3");
    std::filesystem::create_directory_symlink(l.data(), l.music() + "/data-link");
    std::filesystem::create_symlink(l.music() + "/nothing.mp3", l.music() + "/good/dangling.mp3");
    // A link inside the library is the same song, once.
    std::filesystem::create_symlink(l.music() + "/good/fine.mp3", l.music() + "/good/alias.mp3");

    CatalogService service;
    ASSERT_EQ(service.start(l.serviceArgs()), "");
    ASSERT_TRUE(service.waitForMessage("scan finished"));
    EXPECT_EQ(Search(service, "fine song").size(), 1u);
    EXPECT_EQ(Search(service, "cut song").size(), 1u);
    EXPECT_EQ(Search(service, "outside").size(), 0u);
    EXPECT_EQ(Search(service, "good singer").size(), 2u);
    const std::string log = service.messages();
    for (const char* name : {"empty.mp3: empty file", "text.mp3: no audio", "picture.flac: no audio",
                             "truncated-tag.mp3: ", "out.mp3: a link that leads out", "data-link: a link that leads out",
                             "dangling.mp3: a link to nothing"})
        EXPECT_EQ(linesNaming(log, name), 1) << name << "\n" << log;

    // A check of everything after a change lists nothing twice.
    WriteMp3(l.file("good/later.mp3"), {"Later Song", "Good Singer", "Good", 3}, TagForm::Id3v2Utf8);
    ASSERT_TRUE(WaitUntil([&] { return Search(service, "later song").size() == 1; }));
    EXPECT_EQ(linesNaming(service.messages(), "text.mp3"), 1);
}

TEST(CatalogFaults, UnreadableFilesAndFoldersAreSkippedWithTheReason)
{
    LibraryFolder l;
    giveToUnprivileged(l.music());
    giveToUnprivileged(l.data());
    WriteMp3(l.file("open/fine.mp3"), {"Open Song", "Singer", "Open", 1}, TagForm::Id3v2Utf8);
    WriteMp3(l.file("open/secret.mp3"), {"Secret Song", "Singer", "Open", 2}, TagForm::Id3v2Utf8);
    WriteMp3(l.file("closed/hidden.mp3"), {"Hidden Song", "Singer", "Closed", 1}, TagForm::Id3v2Utf8);
    for (const char* folder : {"/open", "/closed"})
        giveToUnprivileged(l.music() + folder);
    giveToUnprivileged(l.music() + "/open/fine.mp3");
    std::filesystem::permissions(l.music() + "/open/secret.mp3", std::filesystem::perms::none);
    std::filesystem::permissions(l.music() + "/closed", std::filesystem::perms::none);

    CatalogService service;
    ASSERT_EQ(service.start(l.serviceArgs(), unprivileged()), "");
    ASSERT_TRUE(service.waitForMessage("scan finished"));
    EXPECT_EQ(Search(service, "open song").size(), 1u);
    EXPECT_EQ(Search(service, "secret").size(), 0u);
    EXPECT_EQ(Search(service, "hidden").size(), 0u);
    const std::string log = service.messages();
    EXPECT_NE(log.find("secret.mp3: cannot be read (Permission denied)"), std::string::npos) << log;
    EXPECT_NE(log.find("closed: the folder cannot be read (Permission denied)"), std::string::npos) << log;
    std::filesystem::permissions(l.music() + "/closed", std::filesystem::perms::owner_all);
}

TEST(CatalogFaults, FilesThatChangeOrVanishDuringTheScan)
{
    LibraryFolder l;
    constexpr int kFiles = 1500;
    auto path = [&](int i) { return l.music() + "/f/" + std::to_string(i % 30) + "/" + std::to_string(i) + ".mp3"; };
    auto code = [](int i) { return "q" + std::to_string(i) + "z"; };   // a word of its own per song
    for (int i = 0; i < kFiles; ++i)
        WriteMp3(l.file("f/" + std::to_string(i % 30) + "/" + std::to_string(i) + ".mp3"),
                 {"Churn " + code(i), "Churner", "Churn", i % 100}, TagForm::Id3v2Utf8);
    CatalogService service;
    ASSERT_EQ(service.start(l.serviceArgs()), "");
    // Every third file goes and the one after it is rewritten while the first scan runs.
    for (int i = 0; i < kFiles; i += 3) {
        std::filesystem::remove(path(i));
        WriteMp3(path(i + 1), {"Changed " + code(i + 1), "Churner", "Churn", 1}, TagForm::Id3v2Utf8);
    }
    ASSERT_TRUE(service.waitForMessage("scan finished", std::chrono::seconds(120)));
    for (const int i : {0, 1, 2, 999, 1000, 1001, 1497, 1498, 1499}) {
        const std::string title = (i % 3 == 0) ? "" : (i % 3 == 1 ? "Changed " : "Churn ") + code(i);
        EXPECT_TRUE(WaitUntil([&] {
            const std::vector<Found> found = Search(service, code(i));
            return title.empty() ? found.empty() : found.size() == 1 && found[0].title == title;
        })) << code(i);
    }
    EXPECT_EQ(service.head(PathOf(service, Only(service, code(2)))).status, 200);
}

// A 256 KiB file system of its own under the database: the index fills it, the service
// says so and goes on answering from what it has.
TEST(CatalogFaults, FullDiskUnderTheDatabase)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a file system of its own needs root (as the test command has in CI)";
    LibraryFolder l;
    ASSERT_EQ(::mount("tmpfs", l.data().c_str(), "tmpfs", 0, "size=256k"), 0);
    struct Unmount {
        std::string folder;
        ~Unmount() { ::umount2(folder.c_str(), MNT_DETACH); }
    } unmount{l.data()};
    for (int i = 0; i < 1500; ++i)
        WriteMp3(l.file("many/" + std::to_string(i) + ".mp3"),
                 {"A long title to fill the index with number " + std::to_string(i), "Filler Singer " + std::to_string(i),
                  "Filler Album", i},
                 TagForm::Id3v2Utf8);
    CatalogService service;
    ASSERT_EQ(service.start(l.serviceArgs()), "");
    ASSERT_TRUE(service.waitForMessage("is full")) << service.messages();
    EXPECT_EQ(service.get("/index_quavrel.asp").status, 200);
    EXPECT_EQ(service.get("/searchmp3?type=5&keyword=filler&items=1").status, 200);
    EXPECT_EQ(service.stop(), 0);
}

// A service on the network must go on answering while some clients send half a request
// and wait: each of them costs a socket, never a thread. The stalled connections are
// still open when the others have had their answers, so nobody waited for them to time
// out.
class CatalogStallTest : public ::testing::TestWithParam<bool> {};

TEST_P(CatalogStallTest, StalledClientsDoNotHoldUpTheOthers)
{
    LibraryFolder l;
    WriteMp3(l.file("s.mp3"), {"Steady Song", "Steady", "Steady", 1}, TagForm::Id3v2Utf8);
    CatalogService service;
    ASSERT_EQ(service.start(GetParam() ? l.serviceArgs() : std::vector<std::string>{}), "");
    if (GetParam()) {
        ASSERT_TRUE(service.waitForMessage("scan finished"));
    }
    std::vector<int> stalled;
    for (int i = 0; i < 300; ++i) {
        // From three other "computers", under the cap per address.
        const int fd = ConnectTo(service.port(), "127.0.0." + std::to_string(2 + i % 3));
        ASSERT_GE(fd, 0);
        const std::string half = "GET /searchmp3?type=5&keyword=a&items=1 HTTP/1.1\r\nHost: x\r\n";
        ::send(fd, half.data(), half.size(), MSG_NOSIGNAL);
        stalled.push_back(fd);
    }
    const std::string search = GetParam() ? "/searchmp3?type=5&keyword=steady&items=1" : "/searchmp3?type=5&keyword=e&items=1";
    for (int i = 0; i < 60; ++i) {
        const HttpReply r = service.get(i % 2 ? search : "/index_quavrel.asp");
        EXPECT_EQ(r.status, 200);
    }
    int open = 0;
    for (int fd : stalled) {
        open += stillOpen(fd);
        ::close(fd);
    }
    EXPECT_EQ(open, 300);
}

INSTANTIATE_TEST_SUITE_P(DemoAndLibrary, CatalogStallTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Library" : "Demo"; });

// Thousands of connections at once against a process that may open 256 descriptors: the
// service stays up, keeps its memory, and answers again as soon as the crowd has gone.
TEST(CatalogFaults, MoreConnectionsThanDescriptors)
{
    LibraryFolder l;
    WriteMp3(l.file("s.mp3"), {"Crowd Song", "Crowd", "Crowd", 1}, TagForm::Id3v2Utf8);
    CatalogService service;
    service.descriptorLimit = 256;
    ASSERT_EQ(service.start(l.serviceArgs()), "");
    ASSERT_TRUE(service.waitForMessage("scan finished"));
    const std::string song = PathOf(service, Only(service, "crowd song"));

    std::vector<int> crowd;
    for (int i = 0; i < 2000; ++i) {
        const int fd = connectWithoutWaiting(service.port(), "127.0.1." + std::to_string(1 + i % 50));
        if (fd < 0)
            continue;
        if (i % 2) {
            const std::string request = "GET " + song + " HTTP/1.1\r\nHost: x\r\n\r\n";
            ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        }
        crowd.push_back(fd);
    }
    // Bounded: a few threads and a few MiB, however many knock.
    EXPECT_EQ(::kill(service.pid(), 0), 0);
    const std::string status = readFile("/proc/" + std::to_string(service.pid()) + "/status");
    const std::size_t threads = status.find("Threads:"), rss = status.find("VmRSS:");
    ASSERT_NE(threads, std::string::npos);
    EXPECT_LE(std::stoi(status.substr(threads + 8)), 12) << status.substr(threads, 20);
    EXPECT_LT(std::stol(status.substr(rss + 6)), 64 * 1024) << status.substr(rss, 30);
    for (int fd : crowd)
        ::close(fd);
    HttpReply r;
    EXPECT_TRUE(WaitUntil([&] {
        try {
            r = service.get(song);
        } catch (const std::exception&) {
            return false;
        }
        return r.status == 200;
    }));
    EXPECT_EQ(r.body, readFile(l.music() + "/s.mp3"));
    EXPECT_EQ(Search(service, "crowd").size(), 1u);
    EXPECT_EQ(service.stop(), 0);
}

TEST(CatalogFaults, OversizedRequestHeadIsRefused)
{
    CatalogService service;
    ASSERT_EQ(service.start({}), "");
    const HttpReply r = service.get("/index_quavrel.asp", "X-Padding: " + std::string(64 * 1024, 'p') + "\r\n");
    EXPECT_GE(r.status, 400);
    EXPECT_EQ(service.get("/index_quavrel.asp").status, 200);
}

}  // namespace
}  // namespace quavrel::test
