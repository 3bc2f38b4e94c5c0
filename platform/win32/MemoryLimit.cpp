#include "platform/MemoryLimit.h"

#include <algorithm>
#include <windows.h>

namespace qwz::platform {

uint64_t MemoryLimit() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return UINT64_MAX;
    return std::min<uint64_t>(status.ullTotalPhys, status.ullTotalVirtual);
}

}  // namespace qwz::platform
