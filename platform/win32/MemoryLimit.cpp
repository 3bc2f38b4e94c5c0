#include "platform/MemoryLimit.h"

#include <algorithm>
#include <windows.h>

namespace qwz::platform {
namespace {

// The memory limits of the job the process runs in, if any: one for the
// process, one for all of the job's processes together.
uint64_t JobLimit() {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION info{};
    if (!QueryInformationJobObject(nullptr, JobObjectExtendedLimitInformation, &info, sizeof info, nullptr))
        return UINT64_MAX;
    uint64_t limit = UINT64_MAX;
    if (info.BasicLimitInformation.LimitFlags & JOB_OBJECT_LIMIT_PROCESS_MEMORY)
        limit = std::min<uint64_t>(limit, info.ProcessMemoryLimit);
    if (info.BasicLimitInformation.LimitFlags & JOB_OBJECT_LIMIT_JOB_MEMORY)
        limit = std::min<uint64_t>(limit, info.JobMemoryLimit);
    return limit != 0 ? limit : UINT64_MAX;
}

}  // namespace

MemoryLimits SystemMemoryLimits() {
    MemoryLimits limits;
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    // A total of nothing is no answer (seen now and then under Wine while
    // several files are converted at once): no limit is known then, rather
    // than every file being refused as too large.
    if (GlobalMemoryStatusEx(&status)) {
        if (status.ullTotalPhys != 0) limits.physical = status.ullTotalPhys;
        if (status.ullTotalVirtual != 0) limits.addressSpace = status.ullTotalVirtual;
    }
    limits.group = JobLimit();
    return limits;
}

}  // namespace qwz::platform
