// How much memory this process can have at most.
#pragma once

#include <cstdint>
#include <string>

namespace qwz::platform {

// The smallest of the machine's physical memory and the limits set on the
// process (address space, data size, the memory limit of its control
// group); a file larger than this cannot be held in memory at all.
uint64_t MemoryLimit();

// Whether a file of `size` bytes can be held in memory; when it cannot,
// `reason` says so ("plik jest za duży, by zmieścić go w pamięci ...").
bool FitsInMemory(uint64_t size, std::string* reason);

}  // namespace qwz::platform
