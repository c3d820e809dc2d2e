#pragma once
// The system's monotonic clock, which never jumps with the wall clock: the one a starting
// script reads too (CLOCK_MONOTONIC on Linux), so times taken inside and outside the
// program compare.

namespace quavrel {

// Nanoseconds since an arbitrary fixed moment of this boot.
long long MonotonicNanoseconds();

}  // namespace quavrel
