#include "platform/Parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace qwz::platform {
namespace {

constexpr unsigned kMostThreads = 8;

// Items are handed out in ascending order, so when item i fails every item
// below i has already been taken and will finish: its failure, if any, can
// still replace this one as the lowest.
class Job {
public:
    Job(size_t count, const std::function<void(size_t)>& work) : count_(count), work_(work) {}

    void Run() {
        for (;;) {
            if (stop_.load(std::memory_order_relaxed)) return;
            const size_t i = next_.fetch_add(1, std::memory_order_relaxed);
            if (i >= count_) return;
            try {
                work_(i);
            } catch (...) {
                std::lock_guard<std::mutex> lock(mutex_);
                if (!failure_ || i < failedAt_) {
                    failure_ = std::current_exception();
                    failedAt_ = i;
                }
                stop_.store(true, std::memory_order_relaxed);
            }
        }
    }

    void RethrowFailure() const {
        if (failure_) std::rethrow_exception(failure_);
    }

private:
    const size_t count_;
    const std::function<void(size_t)>& work_;
    std::atomic<size_t> next_{0};
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::exception_ptr failure_;
    size_t failedAt_ = 0;
};

}  // namespace

void ForEachInParallel(size_t count, uint64_t cost, const std::function<void(size_t)>& work) {
    const unsigned cores = std::max(1u, std::min(kMostThreads, std::thread::hardware_concurrency()));
    const size_t threads = std::min<size_t>(cores, count);
    if (threads <= 1 || cost < kParallelThreshold) {
        for (size_t i = 0; i < count; ++i) work(i);
        return;
    }
    Job job(count, work);
    std::vector<std::thread> helpers;
    helpers.reserve(threads - 1);
    try {
        for (size_t t = 1; t < threads; ++t) helpers.emplace_back([&job] { job.Run(); });
    } catch (...) {
        // No more threads to be had (the system refuses one, or there is no
        // memory for its start): those started and this one do the work.
        // Leaving here instead would end the process, with threads running.
    }
    job.Run();
    for (std::thread& helper : helpers) helper.join();
    job.RethrowFailure();
}

}  // namespace qwz::platform
