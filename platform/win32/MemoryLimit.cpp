#include "platform/MemoryLimit.h"

#include <algorithm>
#include <windows.h>

namespace qwz::platform {

uint64_t MemoryLimit() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return UINT64_MAX;
    const uint64_t limit = std::min<uint64_t>(status.ullTotalPhys, status.ullTotalVirtual);
    // A total of nothing is no answer (seen now and then under Wine while
    // several files are converted at once): no limit is known then, rather
    // than every file being refused as too large.
    return limit != 0 ? limit : UINT64_MAX;
}

}  // namespace qwz::platform
