#include "platform/monotonic_clock.h"

#include <windows.h>

namespace quavrel {

long long MonotonicNanoseconds()
{
    LARGE_INTEGER frequency;
    LARGE_INTEGER now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    const long long seconds = now.QuadPart / frequency.QuadPart;
    const long long rest = now.QuadPart % frequency.QuadPart;
    return seconds * 1000000000LL + rest * 1000000000LL / frequency.QuadPart;
}

}  // namespace quavrel
