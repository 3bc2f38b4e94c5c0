// Results that are finished on several threads, passed on in their order:
// each is passed on as soon as it and every one before it are done, on the
// thread that finished the last of them, one at a time.
#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <vector>

namespace qwz::cli {

class InOrder {
public:
    InOrder(size_t count, std::function<void(size_t)> pass) : done_(count, false), pass_(std::move(pass)) {}

    // Result i is complete: passes on i and those after it that are waiting.
    void Done(size_t i) {
        std::lock_guard<std::mutex> lock(mutex_);
        done_[i] = true;
        while (next_ < done_.size() && done_[next_]) pass_(next_++);
    }

private:
    std::mutex mutex_;
    std::vector<bool> done_;
    size_t next_ = 0;
    std::function<void(size_t)> pass_;
};

}  // namespace qwz::cli
