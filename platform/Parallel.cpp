#include "platform/Parallel.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
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

// The hand-out of ForEachInOrder: the calling thread puts items in `ready_`
// while fewer than the allowed number run; the workers take them.
class OrderedJob {
public:
    OrderedJob(size_t threads, const std::function<void(size_t)>& work) : threads_(threads), work_(work) {}

    // Waits until item i may start beside those running; false when an
    // item has thrown and nothing more is to be handed out.
    bool AwaitRoom(bool alone) {
        std::unique_lock<std::mutex> lock(mutex_);
        room_.wait(lock, [&] {
            return failure_ || (aloneRunning_ ? running_ == 0 : running_ < (alone ? 1 : threads_));
        });
        return !failure_;
    }

    void HandOut(size_t i, bool alone) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++running_;
        aloneRunning_ = alone;
        ready_.push_back(i);
        // One idle worker takes it: waking them all for each item costs the
        // system more than the item when many threads wait.
        itemReady_.notify_one();
    }

    // Runs items until the hand-out has ended and none is left.
    void Work() {
        for (;;) {
            size_t i = 0;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                itemReady_.wait(lock, [&] { return !ready_.empty() || finished_; });
                if (ready_.empty()) return;
                i = ready_.front();
                ready_.pop_front();
            }
            std::exception_ptr thrown;
            try {
                work_(i);
            } catch (...) {
                thrown = std::current_exception();
            }
            std::lock_guard<std::mutex> lock(mutex_);
            if (thrown && (!failure_ || i < failedAt_)) {
                failure_ = thrown;
                failedAt_ = i;
            }
            if (--running_ == 0) aloneRunning_ = false;
            room_.notify_one();
        }
    }

    void Finish() {
        std::lock_guard<std::mutex> lock(mutex_);
        finished_ = true;
        itemReady_.notify_all();
    }

    void RethrowFailure() const {
        if (failure_) std::rethrow_exception(failure_);
    }

private:
    const size_t threads_;
    const std::function<void(size_t)>& work_;
    std::mutex mutex_;
    std::condition_variable room_;      // the hand-out waits here for room
    std::condition_variable itemReady_;  // idle workers wait here for an item
    std::deque<size_t> ready_;
    size_t running_ = 0;
    bool aloneRunning_ = false;
    bool finished_ = false;
    std::exception_ptr failure_;
    size_t failedAt_ = 0;
};

}  // namespace

unsigned ProcessorCount() {
    // On Linux each question reads a file of the system's; once is enough.
    static const unsigned count = std::max(1u, std::thread::hardware_concurrency());
    return count;
}

size_t ForEachInOrder(size_t count, size_t threads, const std::function<bool(size_t)>& start,
                      const std::function<bool(size_t)>& alone, const std::function<void(size_t)>& work) {
    threads = std::min(threads, count);
    if (threads <= 1) {
        for (size_t i = 0; i < count; ++i) {
            if (!start(i)) return i;
            work(i);
        }
        return count;
    }
    OrderedJob job(threads, work);
    std::vector<std::thread> workers;
    workers.reserve(threads);
    try {
        for (size_t t = 0; t < threads; ++t) workers.emplace_back([&job] { job.Work(); });
    } catch (...) {
        // No more threads to be had: those started do the work.
    }
    size_t handed = 0;
    if (workers.empty()) {
        // Not even one: the calling thread works through the items itself.
        job.Finish();
        for (; handed < count && start(handed); ++handed) work(handed);
        return handed;
    }
    try {
        for (; handed < count; ++handed) {
            const bool single = alone && alone(handed);
            if (!job.AwaitRoom(single) || !start(handed)) break;
            job.HandOut(handed, single);
        }
    } catch (...) {
        // start or alone threw: the items already out finish first.
        job.Finish();
        for (std::thread& worker : workers) worker.join();
        throw;
    }
    job.Finish();
    for (std::thread& worker : workers) worker.join();
    job.RethrowFailure();
    return handed;
}

void ForEachInParallel(size_t count, uint64_t cost, const std::function<void(size_t)>& work) {
    const unsigned cores = std::min(kMostThreads, ProcessorCount());
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
