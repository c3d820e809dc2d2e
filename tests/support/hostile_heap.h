#pragma once
// Heap accounting for the hostile-input tests: a counting global operator new that keeps
// the live bytes and their peak over every thread, and HeapWatch to read the growth over
// a stretch of a test. Replaces operator new for the whole test program, so include it
// in exactly one source file of a program.
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace quavrel::test {

inline std::atomic<long long> g_heapLive{0};
inline std::atomic<long long> g_heapPeak{0};

constexpr long long kMiB = 1 << 20;

// Peak and live heap growth from the moment of construction.
class HeapWatch {
public:
    HeapWatch() : base_(g_heapLive.load()) { g_heapPeak.store(base_); }
    long long peakGrowth() const { return g_heapPeak.load() - base_; }
    long long liveGrowth() const { return g_heapLive.load() - base_; }

private:
    long long base_;
};

inline void* heapAllocate(size_t size)
{
    void* p = std::malloc(size ? size : 1);
    if (!p)
        throw std::bad_alloc();
    const auto bytes = static_cast<long long>(malloc_usable_size(p));
    long long now = g_heapLive.fetch_add(bytes) + bytes;
    long long peak = g_heapPeak.load();
    while (now > peak && !g_heapPeak.compare_exchange_weak(peak, now)) {
    }
    return p;
}

inline void heapRelease(void* p) noexcept
{
    if (!p)
        return;
    g_heapLive.fetch_sub(static_cast<long long>(malloc_usable_size(p)));
    std::free(p);
}

}  // namespace quavrel::test

void* operator new(size_t size) { return quavrel::test::heapAllocate(size); }
void* operator new[](size_t size) { return quavrel::test::heapAllocate(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept
{
    try {
        return quavrel::test::heapAllocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { quavrel::test::heapRelease(p); }
void operator delete[](void* p) noexcept { quavrel::test::heapRelease(p); }
void operator delete(void* p, size_t) noexcept { quavrel::test::heapRelease(p); }
void operator delete[](void* p, size_t) noexcept { quavrel::test::heapRelease(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { quavrel::test::heapRelease(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { quavrel::test::heapRelease(p); }
