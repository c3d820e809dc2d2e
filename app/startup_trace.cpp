#include "app/startup_trace.h"

#include <cstdio>
#include <cstdlib>

#include "platform/monotonic_clock.h"

namespace quavrel {
namespace {

struct Trace {
    std::FILE* file = nullptr;
    long long origin = 0;

    Trace()
    {
        const char* path = std::getenv("QUAVREL_STARTUP_TRACE");
        if (!path || !*path)
            return;
        file = std::fopen(path, "a");
        const char* t0 = std::getenv("QUAVREL_STARTUP_T0");
        origin = t0 && *t0 ? std::atoll(t0) : MonotonicNanoseconds();
    }
};

Trace& trace()
{
    static Trace instance;
    return instance;
}

}  // namespace

void startupMark(const char* step)
{
    Trace& t = trace();
    if (!t.file)
        return;
    std::fprintf(t.file, "%s=%.1f\n", step, static_cast<double>(MonotonicNanoseconds() - t.origin) / 1e6);
    std::fflush(t.file);
}

}  // namespace quavrel
