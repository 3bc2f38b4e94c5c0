#include "platform/LargeBuffer.h"

#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace qwz::platform {
namespace {

constexpr size_t kSmallest = size_t(256) << 10;

}  // namespace

// Prefaulting (MADV_POPULATE_WRITE, Linux 5.14) rather than asking for huge
// pages: huge pages are faster when the kernel has them at hand, but where
// it must first compact memory for them, filling a buffer of a few hundred
// megabytes stalled for seconds. Prefaulting costs the same every time.
void AdviseLargeBuffer(void* data, size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    if (bytes < kSmallest) return;
    // Only whole pages inside the buffer: the advice never reaches memory
    // the buffer does not own. An older kernel refuses the advice; the
    // pages then come one fault at a time as before.
    const uintptr_t page = uintptr_t(::sysconf(_SC_PAGESIZE));
    const uintptr_t begin = (uintptr_t(data) + page - 1) & ~(page - 1);
    const uintptr_t end = (uintptr_t(data) + bytes) & ~(page - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#else
    (void)data;
    (void)bytes;
#endif
}

void ReleasePages(void* data, size_t bytes) {
    if (bytes < kSmallest) return;
    const uintptr_t page = uintptr_t(::sysconf(_SC_PAGESIZE));
    const uintptr_t begin = (uintptr_t(data) + page - 1) & ~(page - 1);
    const uintptr_t end = (uintptr_t(data) + bytes) & ~(page - 1);
    // Private anonymous pages given up read as zeros when next touched.
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_DONTNEED);
}

}  // namespace qwz::platform
