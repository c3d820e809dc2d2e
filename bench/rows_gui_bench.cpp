// List rows at scale, through the real main window (offscreen): time and heap memory in
// use (malloc's count, so freed memory of earlier rounds does not hide the growth) to append 1,000 and 10,000 result rows (AddResultRow) and play-list rows
// (AddToPlayList), each into an empty list of a fresh window, with the window shown and
// laid out afterwards. Prints "ROW|figure|ours|peer|ratio|goal"; the growth factor from
// 1,000 to 10,000 rows is about 10 for linear work and about 100 for quadratic work.
#include <malloc.h>

#include <QApplication>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "app/application.h"
#include "app/frm_main.h"
#include "bench/gui_bench_support.h"

namespace {

using namespace quavrel;
using Clock = std::chrono::steady_clock;

struct Cost {
    double ms = 0;
    double mib = 0;
};

MediaPtr song(int i)
{
    MediaPtr media = NewMedia();
    media->Title = "\xB8\xE8\xC7\xFA " + std::to_string(i);   // GBK "歌曲 i"
    media->Singer = "\xB8\xE8\xCA\xD6";                       // GBK "歌手"
    media->Album = "Album " + std::to_string(i % 50);
    media->Url = "http://music.example.com/" + std::to_string(i) + ".mp3";
    media->Speed = i % 300;
    media->Size = 4000000 + i;
    return media;
}

// Appends `count` rows with `add` into a fresh shown window; the best time of five
// windows and the memory growth of the last one.
Cost measure(int count, const std::function<void(TfrmMain&, const MediaPtr&)>& add,
             const std::function<int(TfrmMain&)>& rowsOf)
{
    std::vector<MediaPtr> songs;
    for (int i = 0; i < count; ++i)
        songs.push_back(song(i));
    Cost cost{1e30, 0};
    for (int round = 0; round < 5; ++round) {
        auto window = std::make_unique<TfrmMain>();
        window->show();
        QApplication::processEvents();
        const size_t before = mallinfo2().uordblks;
        auto t0 = Clock::now();
        for (const MediaPtr& media : songs)
            add(*window, media);
        QApplication::processEvents();   // lay out and paint the grown list
        double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        cost.ms = std::min(cost.ms, ms);
        cost.mib = (static_cast<double>(mallinfo2().uordblks) - static_cast<double>(before)) / (1 << 20);
        if (rowsOf(*window) != count) {
            std::fprintf(stderr, "rows_gui_bench: %d rows, expected %d\n", rowsOf(*window), count);
            std::exit(1);
        }
    }
    return cost;
}

void report(const char* what, const Cost& small, const Cost& big)
{
    std::printf("ROW|%s, 10,000 rows (ms)|%.1f|-|-|linear\n", what, big.ms);
    std::printf("ROW|%s, 10,000 rows (MiB heap)|%.1f|-|-|reported\n", what, big.mib);
    std::printf("ROW|%s, growth 1,000 -> 10,000 (x)|%.1f|-|-|linear (about 10)\n", what, big.ms / small.ms);
}

}  // namespace

int main(int argc, char** argv)
{
    bench::prepareEnvironment();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    Application app(argc, argv);

    auto addResult = [](TfrmMain& w, const MediaPtr& m) { w.AddResultRow(m); };
    auto resultRows = [](TfrmMain& w) { return w.lvSearchResult->topLevelItemCount(); };
    auto addPlaying = [](TfrmMain& w, const MediaPtr& m) { w.AddToPlayList(m); };
    auto playingRows = [](TfrmMain& w) { return w.lvPlaying->topLevelItemCount(); };

    Cost resultSmall = measure(1000, addResult, resultRows);
    Cost resultBig = measure(10000, addResult, resultRows);
    Cost playSmall = measure(1000, addPlaying, playingRows);
    Cost playBig = measure(10000, addPlaying, playingRows);
    for (auto [name, cost] : {std::pair{"AddResultRow 1,000", resultSmall}, std::pair{"AddResultRow 10,000", resultBig},
                              std::pair{"AddToPlayList 1,000", playSmall}, std::pair{"AddToPlayList 10,000", playBig}})
        std::printf("%s: %.1f ms, %.1f MiB\n", name, cost.ms, cost.mib);
    report("result list AddResultRow", resultSmall, resultBig);
    report("play list AddToPlayList", playSmall, playBig);
    std::fflush(stdout);
    bench::removeScratchHome();
    std::_Exit(0);   // probes and web engine helpers are not waited for, as in the program
}
