// How much memory this process can have at most, and whether a piece of
// work fits in it.
#pragma once

#include <cstdint>
#include <string>

namespace qwz::platform {

// The limits that bound this process's memory; UINT64_MAX where none is set.
struct MemoryLimits {
    uint64_t physical = UINT64_MAX;      // the machine's memory
    uint64_t addressSpace = UINT64_MAX;  // the address space it may take (RLIMIT_AS; Windows: its virtual total)
    uint64_t data = UINT64_MAX;          // its private writable memory (RLIMIT_DATA)
    uint64_t group = UINT64_MAX;         // its control group's memory (Linux), its job's (Windows)
};

// The limits that hold for this process now.
MemoryLimits SystemMemoryLimits();

// What a piece of work must hold at once: memory of its own, which every
// limit counts, and bytes of a file seen in place through a read-only
// mapping. Those take address space, but they are not the process's own:
// their pages are the system's cache of the file, which neither the data
// limit nor a control group counts and which the system drops and reads
// again when memory is short, so a file the disk holds whole need not fit
// in the machine's memory. Its holes (`holes`: bytes of `seen` the disk
// does not hold, as in a sparse file) are counted against the machine's
// memory as memory of the work's own would be: no scene is written with
// holes, and walking terabytes of them would take minutes before the file
// is found damaged.
struct MemoryNeed {
    uint64_t own = 0;
    uint64_t seen = 0;
    uint64_t holes = 0;
};

// Whether `need` can fit within `limits`; when it cannot, `reason` says so
// for a file of `fileSize` bytes ("plik jest za duży, by zmieścić go w
// pamięci ..."). What cannot fit is refused; what the work holds beyond
// this is had as it goes, and a shortage then is a reason, not a crash.
bool Fits(const MemoryNeed& need, const MemoryLimits& limits, uint64_t fileSize, std::string* reason);

// The smallest of the limits on memory of the process's own: a file larger
// than this cannot be held in memory at all.
uint64_t MemoryLimit();

// Whether a file of `size` bytes can be held in memory of the process's own.
bool FitsInMemory(uint64_t size, std::string* reason);

// Whether a file of `size` bytes, of which the disk holds `allocated`, can
// be seen in place (mapped read-only).
bool FitsSeenInPlace(uint64_t size, uint64_t allocated, std::string* reason);

}  // namespace qwz::platform
