// How much memory this process can have at most.
#pragma once

#include <cstdint>

namespace qwz::platform {

// The smallest of the machine's physical memory and the limits set on the
// process (address space, data size, the memory limit of its control
// group); a file larger than this cannot be held in memory at all.
uint64_t MemoryLimit();

}  // namespace qwz::platform
