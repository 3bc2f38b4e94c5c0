#include "platform/LargeBuffer.h"

#include <cstdint>
#include <sys/mman.h>

namespace qwz::platform {
namespace {

constexpr uintptr_t kHugePage = uintptr_t(2) << 20;

}  // namespace

void AdviseLargeBuffer(void* data, size_t bytes) {
#ifdef MADV_HUGEPAGE
    if (bytes < 2 * kHugePage) return;
    // Only whole huge pages inside the buffer: the advice never reaches
    // memory the buffer does not own.
    const uintptr_t begin = (uintptr_t(data) + kHugePage - 1) & ~(kHugePage - 1);
    const uintptr_t end = (uintptr_t(data) + bytes) & ~(kHugePage - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

}  // namespace qwz::platform
