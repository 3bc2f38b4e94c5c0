#include "platform/LargeBuffer.h"

#include <windows.h>

#include <cstdint>

namespace qwz::platform {

// Large pages on Windows need a privilege that users do not hold; the
// default pages serve.
void AdviseLargeBuffer(void*, size_t) {}

void ReleasePages(void* data, size_t bytes) {
    if (bytes < (size_t(256) << 10)) return;
    SYSTEM_INFO info;
    ::GetSystemInfo(&info);
    const uintptr_t page = uintptr_t(info.dwPageSize);
    const uintptr_t begin = (uintptr_t(data) + page - 1) & ~(page - 1);
    const uintptr_t end = (uintptr_t(data) + bytes) & ~(page - 1);
    if (end <= begin) return;
    // MEM_RESET: the content is no longer wanted (never written to the page
    // file); unlocking pages that were never locked takes them out of the
    // working set at once.
    void* start = reinterpret_cast<void*>(begin);
    if (::VirtualAlloc(start, end - begin, MEM_RESET, PAGE_READWRITE)) ::VirtualUnlock(start, end - begin);
}

}  // namespace qwz::platform
