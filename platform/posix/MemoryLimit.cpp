#include "platform/MemoryLimit.h"

#include "platform/GroupMemoryLimit.h"

#include <chrono>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sys/resource.h>
#include <unistd.h>

namespace qwz::platform {
namespace {

uint64_t Rlimit(int resource) {
    struct rlimit rl {};
    if (::getrlimit(resource, &rl) != 0 || rl.rlim_cur == RLIM_INFINITY) return UINT64_MAX;
    return uint64_t(rl.rlim_cur);
}

// Files under /proc and /sys tell no size: they are read to their end.
bool ReadTextFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// The control group's limit takes six files of the system to read, and a
// batch asks for the limits once per file: it is kept for a few seconds
// (a limit changed while the program runs is seen after that).
uint64_t GroupLimit() {
    using Clock = std::chrono::steady_clock;
    static std::mutex mutex;
    static uint64_t limit = UINT64_MAX;
    static Clock::time_point read{};
    const std::lock_guard<std::mutex> lock(mutex);
    const Clock::time_point now = Clock::now();
    if (read == Clock::time_point{} || now - read > std::chrono::seconds(5)) {
        limit = GroupMemoryLimit(ReadTextFile);
        read = now;
    }
    return limit;
}

}  // namespace

MemoryLimits SystemMemoryLimits() {
    MemoryLimits limits;
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0) limits.physical = uint64_t(pages) * uint64_t(pageSize);
    limits.addressSpace = Rlimit(RLIMIT_AS);
    limits.data = Rlimit(RLIMIT_DATA);
    limits.group = GroupLimit();
    return limits;
}

}  // namespace qwz::platform
