// The memory limit of the control group this process runs in (Linux), read
// from the system's files: version 2 ("memory.max") and version 1
// ("memory.limit_in_bytes") alike. The process's own group is found in
// /proc/self/cgroup, and where its hierarchy is mounted in
// /proc/self/mountinfo; every group from the process's own up to the top of
// the mount limits it, so the smallest limit among them counts.
//
// The files are read through a function handed in, so that any layout of
// groups can be given without the system having one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qwz::platform {

// Reads a file of the system's whole; false when it is not there.
using ReadSystemFile = std::function<bool(const std::string& path, std::string& text)>;

// The smallest memory limit of the process's control groups, of either
// version; UINT64_MAX when none is set or none can be read.
uint64_t GroupMemoryLimit(const ReadSystemFile& read);

}  // namespace qwz::platform
