// ForEachInParallel when memory runs out while it starts its threads. This
// test executable replaces the global allocation functions so that one
// chosen allocation of the calling thread fails; every other allocation,
// and every one on other threads, is an ordinary malloc.
#include "platform/Parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>

namespace {

// The calling thread's allocation that fails: 1 for the next one, 2 for the
// one after; 0 when none does.
thread_local int failingAllocation = 0;

}  // namespace

// The replacements stay out of line: inlined into a caller, GCC sees malloc
// from operator new meet operator delete, or operator new's memory meet
// free(), and warns of a mismatch (-Wmismatched-new-delete) although the
// pair matches.
[[gnu::noinline]] void* operator new(size_t n) {
    if (failingAllocation > 0 && --failingAllocation == 0) throw std::bad_alloc();
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace qwz::platform {
namespace {

// Whichever allocation fails, the call either gives up cleanly with
// bad_alloc or does every item once; it never ends the process with
// threads still running.
TEST(ForEachInParallel, NoMemoryWhileStartingThreadsEndsCleanly) {
    constexpr size_t kItems = 64;
    int completed = 0;
    for (int failing = 1; failing <= 12; ++failing) {
        std::unique_ptr<std::atomic<int>[]> runs(new std::atomic<int>[kItems]);
        for (size_t i = 0; i < kItems; ++i) runs[i] = 0;
        bool gaveUp = false;
        failingAllocation = failing;
        try {
            ForEachInParallel(kItems, kParallelThreshold, [&](size_t i) { runs[i].fetch_add(1); });
        } catch (const std::bad_alloc&) {
            gaveUp = true;
        }
        failingAllocation = 0;
        if (gaveUp) continue;
        ++completed;
        for (size_t i = 0; i < kItems; ++i) ASSERT_EQ(runs[i].load(), 1) << "failing " << failing << ", item " << i;
    }
    EXPECT_GT(completed, 0);
}

}  // namespace
}  // namespace qwz::platform
