#include "platform/MemoryLimit.h"

#include <algorithm>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace qwz::platform {
namespace {

uint64_t Rlimit(int resource) {
    struct rlimit rl {};
    if (::getrlimit(resource, &rl) != 0 || rl.rlim_cur == RLIM_INFINITY) return UINT64_MAX;
    return uint64_t(rl.rlim_cur);
}

// The memory limit of the process's control group (version 2), when one is set.
uint64_t GroupLimit() {
    std::ifstream in("/sys/fs/cgroup/memory.max");
    std::string text;
    if (!(in >> text) || text.empty() || text == "max") return UINT64_MAX;
    try {
        return std::stoull(text);
    } catch (...) {
        return UINT64_MAX;
    }
}

}  // namespace

uint64_t MemoryLimit() {
    uint64_t limit = UINT64_MAX;
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0) limit = uint64_t(pages) * uint64_t(pageSize);
    limit = std::min({limit, Rlimit(RLIMIT_AS), Rlimit(RLIMIT_DATA), GroupLimit()});
    return limit;
}

}  // namespace qwz::platform
