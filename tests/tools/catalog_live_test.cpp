// Files added, changed, renamed or removed while the catalogue service runs show in its
// answers within seconds, by the folder watcher or, where a folder is not watched, by the
// check now and then. Each test waits for the change to show, never for a fixed time.
#include "tests/tools/catalog_library.h"

#include <unistd.h>

#include <algorithm>
#include <tuple>

namespace quavrel::test {
namespace {

class CatalogLiveTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        WriteMp3(l.file("album/one.mp3"), {"Morning Song", "Singer A", "Album A", 1}, TagForm::Id3v2Utf8);
        WriteMp3(l.file("album/two.mp3"), {"Evening Song", "Singer A", "Album A", 2}, TagForm::Id3v2Utf8);
        std::vector<std::string> args = l.serviceArgs();
        // Without watches, the check of everything every second has to find each change.
        if (GetParam())
            args.insert(args.end(), {"--max-watches", "1", "--check-every", "1"});
        ASSERT_EQ(service.start(args), "");
        ASSERT_TRUE(service.waitForMessage("scan finished")) << service.messages();
    }

    bool finds(const std::string& keyword, std::size_t count) { return Search(service, keyword).size() == count; }

    LibraryFolder l;
    CatalogService service;
};

TEST_P(CatalogLiveTest, AddedFileAndFolderAreFound)
{
    WriteMp3(l.file("album/three.mp3"), {"Night Song", "Singer A", "Album A", 3}, TagForm::Id3v2Utf8);
    EXPECT_TRUE(WaitUntil([&] { return finds("night song", 1); }));
    // A whole folder copied in (made elsewhere, moved in at once).
    WriteMp3(l.data() + "/new.mp3", {"夜曲", "周杰伦", "十一月的萧邦", 1}, TagForm::Id3v2Utf16);
    std::filesystem::create_directories(l.data() + "/incoming/deeper");
    std::filesystem::rename(l.data() + "/new.mp3", l.data() + "/incoming/deeper/new.mp3");
    std::filesystem::rename(l.data() + "/incoming", l.music() + "/incoming");
    EXPECT_TRUE(WaitUntil([&] { return finds("夜曲", 1); })) << service.messages();
    EXPECT_EQ(Only(service, "夜曲").album, gbk("十一月的萧邦"));
}

TEST_P(CatalogLiveTest, ChangedTagsShowUnderTheSameNumber)
{
    const Found before = Only(service, "morning song");
    WriteMp3(l.music() + "/album/one.mp3", {"Dawn Song", "Singer A", "Album A", 1}, TagForm::Id3v2Utf8);
    EXPECT_TRUE(WaitUntil([&] { return finds("dawn song", 1) && finds("morning song", 0); }));
    EXPECT_EQ(Only(service, "dawn song").url, before.url);
}

TEST_P(CatalogLiveTest, RenamedFileKeepsItsNumber)
{
    const Found before = Only(service, "evening song");
    std::filesystem::create_directories(l.music() + "/elsewhere");
    std::filesystem::rename(l.music() + "/album/two.mp3", l.music() + "/elsewhere/renamed.mp3");
    EXPECT_TRUE(WaitUntil([&] { return finds("renamed", 1); }));
    EXPECT_EQ(Only(service, "evening song").url, before.url);
    EXPECT_EQ(service.head(PathOf(service, before)).status, 200);
}

TEST_P(CatalogLiveTest, RemovedSongIsGoneAndItsAddressAnswers404)
{
    const Found before = Only(service, "evening song");
    std::filesystem::remove(l.music() + "/album/two.mp3");
    EXPECT_TRUE(WaitUntil([&] { return finds("evening song", 0); }));
    EXPECT_EQ(service.head(PathOf(service, before)).status, 404);
    // A removed folder takes its songs along.
    std::filesystem::remove_all(l.music() + "/album");
    EXPECT_TRUE(WaitUntil([&] { return finds("singer a", 0); }));
}

INSTANTIATE_TEST_SUITE_P(WatchedOrChecked, CatalogLiveTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Checked" : "Watched"; });

// The scan of a large folder reports its progress, and songs are searchable before it
// ends.
TEST(CatalogFirstScan, ReportsProgressAndServesSongsAsTheyAreIndexed)
{
    LibraryFolder l;
    for (int i = 0; i < 3000; ++i)
        WriteMp3(l.file("many/" + std::to_string(i / 100) + "/" + std::to_string(i) + ".mp3"),
                 {"Tune " + std::to_string(i), "Band " + std::to_string(i % 7), "Many", i % 100}, TagForm::Id3v2Utf8);
    CatalogService service;
    ASSERT_EQ(service.start(l.serviceArgs()), "");
    EXPECT_TRUE(service.waitForMessage("scan finished", std::chrono::seconds(120)));
    const std::string log = service.messages();
    EXPECT_NE(log.find("files seen"), std::string::npos) << log;
    EXPECT_NE(log.find("3000 files, 3000 songs indexed"), std::string::npos) << log;
    EXPECT_EQ(Search(service, "tune 2999").size(), 1u);

    // A keyword that finds thousands pages in the same order as one that finds a few:
    // singer, album, track, title.
    struct Key {
        std::string singer;
        int track;
        std::string title;
        bool operator<(const Key& o) const { return std::tie(singer, track, title) < std::tie(o.singer, o.track, o.title); }
    };
    std::vector<Key> all;
    for (int i = 0; i < 3000; ++i)
        all.push_back({"Band " + std::to_string(i % 7), i % 100, "Tune " + std::to_string(i)});
    std::sort(all.begin(), all.end());
    for (const int items : {1, 21, 1491, 2981}) {
        const std::vector<Found> page = Search(service, "tune", items);
        ASSERT_EQ(page.size(), 20u) << items;
        for (int k = 0; k < 20; ++k)
            EXPECT_EQ(page[k].title, all[items - 1 + k].title) << items << " + " << k;
    }
    EXPECT_TRUE(Search(service, "tune", 3001).empty());
}

}  // namespace
}  // namespace quavrel::test
