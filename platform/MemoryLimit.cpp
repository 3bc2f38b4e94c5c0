#include "platform/MemoryLimit.h"

namespace qwz::platform {
namespace {

std::string Megabytes(uint64_t bytes) { return std::to_string((bytes + (1u << 19)) >> 20) + " MB"; }

}  // namespace

bool FitsInMemory(uint64_t size, std::string* reason) {
    const uint64_t limit = MemoryLimit();
    if (size <= limit) return true;
    if (reason)
        *reason = "plik jest za duży, by zmieścić go w pamięci (" + Megabytes(size) + ", dostępne " +
                  Megabytes(limit) + ")";
    return false;
}

}  // namespace qwz::platform
