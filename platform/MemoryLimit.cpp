#include "platform/MemoryLimit.h"

#include <algorithm>

namespace qwz::platform {
namespace {

std::string Megabytes(uint64_t bytes) { return std::to_string((bytes >> 20) + ((bytes >> 19) & 1)) + " MB"; }

uint64_t Sum(uint64_t a, uint64_t b) { return a > UINT64_MAX - b ? UINT64_MAX : a + b; }

}  // namespace

bool Fits(const MemoryNeed& need, const MemoryLimits& limits, uint64_t fileSize, std::string* reason) {
    const uint64_t ownLimit = std::min({limits.physical, limits.data, limits.group, limits.addressSpace});
    const uint64_t ownAndHoles = Sum(need.own, need.holes);
    uint64_t available = 0;  // the room there is for what does not fit
    if (need.own > ownLimit) available = ownLimit;
    else if (Sum(need.own, need.seen) > limits.addressSpace) available = limits.addressSpace - need.own;
    else if (ownAndHoles > limits.physical) available = limits.physical - need.own;
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

bool FitsSeenInPlace(uint64_t size, uint64_t allocated, std::string* reason) {
    return Fits({0, size, size > allocated ? size - allocated : 0}, SystemMemoryLimits(), size, reason);
}

}  // namespace qwz::platform
