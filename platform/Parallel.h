// Work on many independent items (the meshes of a document) spread over the
// processor's cores. The caller's thread takes part; small jobs run on it
// alone, since starting a thread costs more than they do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace qwz::platform {

// Below this much work (in items of the caller's own measure: vertices and
// faces for mesh work) everything runs on the calling thread.
constexpr uint64_t kParallelThreshold = 200'000;

// Calls work(i) once for every i in [0, count), in any order and on up to
// as many threads as there are cores, and returns when every call has
// returned. When calls throw, the exception of the lowest i is rethrown
// here, so what the caller sees does not depend on timing; items above a
// failed one may then be left undone. `cost` is the total work, compared
// with kParallelThreshold.
void ForEachInParallel(size_t count, uint64_t cost, const std::function<void(size_t)>& work);

}  // namespace qwz::platform
