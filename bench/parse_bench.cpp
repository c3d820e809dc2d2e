// Parsing result pages: ours (TRegExpr on RE2) against PCRE2 with the same search pattern
// in the same run, on 1 MiB and 8 MiB pages, normal and hostile (many "class=p14"
// openings that never complete). Prints "ROW|figure|ours|peer|ratio|goal" lines; a ratio
// of 1 or more means ours is at least as fast. PCRE2 backtracks on hostile pages, so it
// runs under a match limit and its time is then a lower bound.
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "songs/page_parser.h"

namespace {

using quavrel::kSearchPattern;

std::string normalPage(size_t bytes)
{
    std::string page = "<html><body><table>\r\n";
    for (int n = 0; page.size() < bytes; ++n) {
        std::string s = std::to_string(n);
        page += "<tr><td class=p14><a href='http://songs.example/" + s + ".mp3' target=_blank><b>\xB8\xE8\xC7\xFA " + s +
                "</b></a></td>\r\n<td><a href=\"/s?singer=\xD5\xC5" + s + "\">x</a></td><td><a href=\"/a?keyword=\xD7\xA8" +
                s + "\">y</a></td></tr>\r\n";
    }
    return page;
}

std::string hostilePage(size_t bytes)
{
    std::string page;
    while (page.size() < bytes)
        page += "<td class=p14><a href='x";
    // One double quote at the very end, so that no engine can skip the page because a
    // byte the pattern needs is missing.
    return page + "\"";
}

size_t ours(const std::string& page)
{
    return quavrel::ParseSearchPage(page, [](const quavrel::MediaPtr&) {});
}

// Same loop as ours: each match, then on from its end. Returns -1 when the limit hit.
long pcre(const std::string& page)
{
    int error = 0;
    PCRE2_SIZE offset = 0;
    static pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(kSearchPattern), PCRE2_ZERO_TERMINATED,
                                            PCRE2_DOTALL, &error, &offset, nullptr);
    pcre2_match_data* data = pcre2_match_data_create_from_pattern(code, nullptr);
    pcre2_match_context* context = pcre2_match_context_create(nullptr);
    pcre2_set_match_limit(context, 50'000'000);
    long count = 0;
    PCRE2_SIZE start = 0;
    for (;;) {
        int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(page.data()), page.size(), start, 0, data, context);
        if (rc == PCRE2_ERROR_MATCHLIMIT) {
            count = -1;
            break;
        }
        if (rc < 0)
            break;
        ++count;
        PCRE2_SIZE* ov = pcre2_get_ovector_pointer(data);
        start = ov[1] > ov[0] ? ov[1] : ov[1] + 1;
    }
    pcre2_match_context_free(context);
    pcre2_match_data_free(data);
    return count;
}

template <typename F>
double bestSeconds(F&& run, int rounds = 3)
{
    double best = 1e30;
    for (int i = 0; i < rounds; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(run());
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    return best;
}

void BM_OursNormal(benchmark::State& state)
{
    std::string page = normalPage(static_cast<size_t>(state.range(0)) << 20);
    for (auto _ : state)
        benchmark::DoNotOptimize(ours(page));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(page.size()));
}
void BM_OursHostile(benchmark::State& state)
{
    std::string page = hostilePage(static_cast<size_t>(state.range(0)) << 20);
    for (auto _ : state)
        benchmark::DoNotOptimize(ours(page));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(page.size()));
}
BENCHMARK(BM_OursNormal)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OursHostile)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);

void printRows()
{
    for (size_t mib : {1, 8}) {
        std::string page = normalPage(mib << 20);
        if (ours(page) != static_cast<size_t>(pcre(page)))
            std::fprintf(stderr, "parse_bench: ours and PCRE2 disagree on the %zu MiB page\n", mib);
        double a = bestSeconds([&] { return ours(page); });
        double b = bestSeconds([&] { return pcre(page); });
        std::printf("ROW|parse %zu MiB page (ms)|%.1f|%.1f|%.2f|>= 0.50\n", mib, a * 1e3, b * 1e3, b / a);
    }
    for (size_t mib : {1, 8}) {
        std::string page = hostilePage(mib << 20);
        double a = bestSeconds([&] { return ours(page); });
        long limited = 0;
        double b = bestSeconds([&] { return limited = pcre(page); }, 1);
        std::printf("ROW|parse %zu MiB hostile page (ms)|%.1f|%s%.1f|%s%.2f|linear\n", mib, a * 1e3,
                    limited < 0 ? ">" : "", b * 1e3, limited < 0 ? ">" : "", b / a);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    printRows();
    return 0;
}
