#include "platform/MemoryLimit.h"

#include "platform/GroupMemoryLimit.h"

#include <fstream>
#include <iterator>
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

}  // namespace

MemoryLimits SystemMemoryLimits() {
    MemoryLimits limits;
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0) limits.physical = uint64_t(pages) * uint64_t(pageSize);
    limits.addressSpace = Rlimit(RLIMIT_AS);
    limits.data = Rlimit(RLIMIT_DATA);
    limits.group = GroupMemoryLimit(ReadTextFile);
    return limits;
}

}  // namespace qwz::platform
