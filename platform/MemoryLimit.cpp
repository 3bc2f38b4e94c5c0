#include "platform/MemoryLimit.h"

#include <algorithm>

namespace qwz::platform {
namespace {

std::string Megabytes(uint64_t bytes) { return std::to_string((bytes >> 20) + ((bytes >> 19) & 1)) + " MB"; }

uint64_t Sum(uint64_t a, uint64_t b) { return a > UINT64_MAX - b ? UINT64_MAX : a + b; }

}  // namespace

bool Fits(const MemoryNeed& need, const MemoryLimits& limits, uint64_t fileSize, std::string* reason) {
    const uint64_t ownLimit = std::min({limits.physical, limits.data, limits.group, limits.addressSpace});
    // What is seen in place is held in the machine's memory, as the system's
    // cache, beside the work's own, and takes address space as that does.
    const uint64_t allLimit = std::min(limits.physical, limits.addressSpace);
    uint64_t available = 0;  // the room there is for what does not fit
    if (need.own > ownLimit) available = ownLimit;
    else if (Sum(need.own, need.seen) > allLimit) available = allLimit - need.own;
    else return true;
    if (reason)
        *reason = "plik jest za duży, by zmieścić go w pamięci (" + Megabytes(fileSize) + ", dostępne " +
                  Megabytes(available) + ")";
    return false;
}

uint64_t MemoryLimit() {
    const MemoryLimits limits = SystemMemoryLimits();
    return std::min({limits.physical, limits.addressSpace, limits.data, limits.group});
}

bool FitsInMemory(uint64_t size, std::string* reason) {
    return Fits({size, 0}, SystemMemoryLimits(), size, reason);
}

bool FitsSeenInPlace(uint64_t size, std::string* reason) {
    return Fits({0, size}, SystemMemoryLimits(), size, reason);
}

}  // namespace qwz::platform
