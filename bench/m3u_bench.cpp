// M3U play lists at scale: reading a file into a play list (ReadM3UFile + PlayList, the
// path LoadPlayList takes without the list view) and writing one (WriteM3UFile), for
// 10,000 and 100,000 entries, against the machine's limit of moving the same bytes:
// `cat FILE > /dev/null` for the read and `cp` for the write. Prints
// "ROW|figure|ours|peer|ratio|goal": ratio = peer / ours, and the 10x growth factor of
// our time (about 10 for linear work, about 100 for quadratic). The read is also timed with
// every record dropped at once, which separates the parse from the cost of keeping 100,000
// records and their Url index in memory (cache misses grow with the list).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "media/m3u.h"
#include "media/playlist.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string scratchDir()
{
    static std::string dir = [] {
        char pattern[] = "/tmp/m3u_bench.XXXXXX";
        return std::string(::mkdtemp(pattern));
    }();
    return dir;
}

std::vector<quavrel::MediaPtr> songs(int count)
{
    std::vector<quavrel::MediaPtr> rows;
    rows.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        auto media = quavrel::NewMedia();
        media->Title = "\xB8\xE8\xC7\xFA " + std::to_string(i);   // GBK "歌曲 i"
        media->Url = "http://music.example.com/songs/" + std::to_string(i % 977) + "/" + std::to_string(i) + ".mp3";
        rows.push_back(media);
    }
    return rows;
}

std::string fileFor(int count)
{
    std::string path = scratchDir() + "/list" + std::to_string(count) + ".m3u";
    if (!std::filesystem::exists(path))
        quavrel::WriteM3UFile(path, songs(count));
    return path;
}

double seconds(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// Reads the file into a fresh play list; seconds.
double readOnce(const std::string& path, int expected)
{
    quavrel::PlayList list;
    auto t0 = Clock::now();
    int entries = quavrel::ReadM3UFile(path, [&] { list.clear(); }, [&](const quavrel::MediaPtr& m) { list.add(m); });
    double t = seconds(t0);
    if (entries != expected || list.size() != expected) {
        std::fprintf(stderr, "m3u_bench: read %d entries, %d rows, expected %d\n", entries, list.size(), expected);
        std::exit(1);
    }
    return t;
}

// Reads the file and drops every record at once: the parse without the list it fills.
double parseOnce(const std::string& path)
{
    auto t0 = Clock::now();
    quavrel::ReadM3UFile(path, [] {}, [](const quavrel::MediaPtr&) {});
    return seconds(t0);
}

double writeOnce(const std::vector<quavrel::MediaPtr>& rows)
{
    std::string path = scratchDir() + "/out.m3u";
    auto t0 = Clock::now();
    quavrel::WriteM3UFile(path, rows);
    return seconds(t0);
}

double shell(const std::string& command)
{
    auto t0 = Clock::now();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "m3u_bench: '%s' failed\n", command.c_str());
        std::exit(1);
    }
    return seconds(t0);
}

template <typename F>
double best(F run)
{
    double b = 1e30;
    for (int i = 0; i < 5; ++i)
        b = std::min(b, run());
    return b;
}

void BM_ReadM3U(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    std::string path = fileFor(count);
    for (auto _ : state)
        state.SetIterationTime(readOnce(path, count));
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_ReadM3U)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_WriteM3U(benchmark::State& state)
{
    auto rows = songs(static_cast<int>(state.range(0)));
    for (auto _ : state)
        state.SetIterationTime(writeOnce(rows));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_WriteM3U)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();

    const std::string small = fileFor(10000), big = fileFor(100000);
    const auto smallRows = songs(10000), bigRows = songs(100000);
    const double readSmall = best([&] { return readOnce(small, 10000); });
    const double readBig = best([&] { return readOnce(big, 100000); });
    const double parseSmall = best([&] { return parseOnce(small); });
    const double parseBig = best([&] { return parseOnce(big); });
    const double writeSmall = best([&] { return writeOnce(smallRows); });
    const double writeBig = best([&] { return writeOnce(bigRows); });
    const double cat = best([&] { return shell("cat '" + big + "' > /dev/null"); });
    const double cp = best([&] { return shell("cp '" + big + "' '" + scratchDir() + "/copy.m3u'"); });
    const double mib = static_cast<double>(std::filesystem::file_size(big)) / (1 << 20);

    std::printf("ROW|read M3U of 100,000 entries, %.1f MiB (ms)|%.1f|%.1f|%.2f|reported\n", mib, readBig * 1e3,
                cat * 1e3, cat / readBig);
    std::printf("ROW|write M3U of 100,000 entries (ms)|%.1f|%.1f|%.2f|reported\n", writeBig * 1e3, cp * 1e3,
                cp / writeBig);
    std::printf("ROW|M3U read growth 10,000 -> 100,000 (x)|%.1f|-|-|linear (about 10)\n", readBig / readSmall);
    std::printf("ROW|M3U read growth without keeping the records (x)|%.1f|-|-|linear (about 10)\n",
                parseBig / parseSmall);
    std::printf("ROW|M3U write growth 10,000 -> 100,000 (x)|%.1f|-|-|linear (about 10)\n", writeBig / writeSmall);
    std::filesystem::remove_all(scratchDir());
    return 0;
}
