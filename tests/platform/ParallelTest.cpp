#include "platform/Parallel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace qwz::platform {
namespace {

// One counter per item, safe to bump from any thread.
struct Counters {
    explicit Counters(size_t n) : count(n), runs(new std::atomic<int>[n]) {
        for (size_t i = 0; i < n; ++i) runs[i] = 0;
    }
    size_t count;
    std::unique_ptr<std::atomic<int>[]> runs;
};

// A few microseconds of work, so that the threads overlap.
void Busy(size_t i) {
    volatile size_t sink = i;
    for (int k = 0; k < 200; ++k) sink = sink * 31 + 7;
}

TEST(ForEachInParallel, EveryItemRunsExactlyOnce) {
    for (size_t count : {size_t(0), size_t(1), size_t(2), size_t(7), size_t(10000)}) {
        for (int round = 0; round < 20; ++round) {
            Counters c(count);
            ForEachInParallel(count, kParallelThreshold, [&](size_t i) {
                Busy(i);
                c.runs[i].fetch_add(1);
            });
            for (size_t i = 0; i < count; ++i) ASSERT_EQ(c.runs[i].load(), 1) << "item " << i << " of " << count;
        }
    }
}

// Item 0 waits a while for another item to start: were the work spread
// over threads, one would, on another thread.
TEST(ForEachInParallel, LittleWorkStaysOnTheCallingThread) {
    const std::thread::id caller = std::this_thread::get_id();
    Counters c(1000);
    std::atomic<int> started{0}, elsewhere{0};
    ForEachInParallel(1000, kParallelThreshold - 1, [&](size_t i) {
        started.fetch_add(1);
        if (std::this_thread::get_id() != caller) elsewhere.fetch_add(1);
        if (i == 0) {
            const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(20);
            while (started < 2 && std::chrono::steady_clock::now() < until) std::this_thread::yield();
        }
        c.runs[i].fetch_add(1);
    });
    EXPECT_EQ(elsewhere.load(), 0);
    for (size_t i = 0; i < 1000; ++i) ASSERT_EQ(c.runs[i].load(), 1) << "item " << i;
}

std::string Failure(size_t count, uint64_t cost, const std::function<void(size_t)>& work) {
    try {
        ForEachInParallel(count, cost, work);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "nothing thrown";
}

// Items 3, 500 and 900 throw. Item 3 holds back until a later item has
// thrown (or a while has passed, when there is only one thread), so the
// lowest failure is the last one thrown: it must still be the one seen.
TEST(ForEachInParallel, TheLowestFailingItemIsRethrown) {
    for (int round = 0; round < 20; ++round) {
        Counters c(1000);
        std::atomic<bool> laterThrew{false};
        const std::string what = Failure(1000, kParallelThreshold, [&](size_t i) {
            c.runs[i].fetch_add(1);
            if (i == 500 || i == 900) {
                laterThrew = true;
                throw std::runtime_error("item " + std::to_string(i));
            }
            if (i == 3) {
                const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(20);
                while (!laterThrew && std::chrono::steady_clock::now() < until) std::this_thread::yield();
                throw std::runtime_error("item 3");
            }
        });
        ASSERT_EQ(what, "item 3") << "round " << round;
        for (size_t i = 0; i <= 3; ++i) EXPECT_EQ(c.runs[i].load(), 1) << "item " << i;
        for (size_t i = 4; i < 1000; ++i) ASSERT_LE(c.runs[i].load(), 1) << "item " << i;
    }
}

TEST(ForEachInParallel, AFailureComesThroughWithLittleWorkAndOfAnyType) {
    Counters c(100);
    const std::string what = Failure(100, 10, [&](size_t i) {
        c.runs[i].fetch_add(1);
        if (i == 40 || i == 60) throw std::runtime_error("item " + std::to_string(i));
    });
    EXPECT_EQ(what, "item 40");
    for (size_t i = 0; i <= 40; ++i) EXPECT_EQ(c.runs[i].load(), 1) << "item " << i;

    // a failure that is not a standard exception comes through as it is
    try {
        ForEachInParallel(3, kParallelThreshold, [](size_t i) {
            if (i == 1) throw 7;
        });
        ADD_FAILURE() << "nothing thrown";
    } catch (int thrown) {
        EXPECT_EQ(thrown, 7);
    }
}


// Items started in order from the calling thread, each run once on the
// workers; a stop leaves the rest undone; an item that runs alone never has
// another beside it; and with two threads two items do run at once.
TEST(ForEachInOrder, StartsInOrderRunsEachOnceAndKeepsAloneItemsAlone) {
    const std::thread::id caller = std::this_thread::get_id();
    for (size_t threads : {1, 2, 4}) {
        for (size_t count : {0, 1, 9, 40}) {
            for (size_t stopAt : {count, count / 2}) {
                Counters c(count);
                std::vector<size_t> started;
                std::atomic<int> running{0}, most{0};
                std::atomic<bool> besideAlone{false}, otherThread{true};
                const bool awaitSecond = threads > 1 && std::min(stopAt, count) > 1;
                const auto alone = [](size_t i) { return i % 7 == 3; };
                const size_t handed = ForEachInOrder(
                    count, threads,
                    [&](size_t i) {
                        if (std::this_thread::get_id() != caller) otherThread = false;
                        started.push_back(i);
                        return i != stopAt;
                    },
                    alone,
                    [&](size_t i) {
                        const int now = ++running;
                        for (int seen = most; now > seen && !most.compare_exchange_weak(seen, now);) {}
                        if (alone(i) && now != 1) besideAlone = true;
                        // Item 0 waits for another to start, which one of
                        // several threads is free to do.
                        const bool await = i == 0 && awaitSecond;
                        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(await ? 2000 : 1);
                        while (std::chrono::steady_clock::now() < until && !(await && most > 1))
                            std::this_thread::yield();
                        if (alone(i) && running != 1) besideAlone = true;
                        c.runs[i].fetch_add(1);
                        --running;
                    });
                const size_t expected = std::min(stopAt, count);
                ASSERT_EQ(handed, expected) << threads << " " << count;
                EXPECT_EQ(started.size(), std::min(stopAt + 1, count));
                for (size_t i = 0; i < started.size(); ++i) EXPECT_EQ(started[i], i);
                EXPECT_TRUE(otherThread) << "start is called on the calling thread";
                for (size_t i = 0; i < count; ++i) EXPECT_EQ(c.runs[i].load(), i < handed ? 1 : 0) << i;
                EXPECT_FALSE(besideAlone) << "an item that runs alone had another beside it";
                if (awaitSecond) {
                    EXPECT_GT(most.load(), 1) << threads << " " << count;
                }
                if (threads == 1) {
                    EXPECT_LE(most.load(), 1);
                }
            }
        }
    }
    EXPECT_THROW(ForEachInOrder(
                     9, 2, [](size_t) { return true; }, nullptr,
                     [](size_t i) {
                         if (i == 2) throw std::runtime_error("item 2");
                     }),
                 std::runtime_error);
}

}  // namespace
}  // namespace qwz::platform
