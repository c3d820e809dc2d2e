#include "platform/monotonic_clock.h"

#include <ctime>

namespace quavrel {

long long MonotonicNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

}  // namespace quavrel
