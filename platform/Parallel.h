// Work on many independent items spread over the processor's cores: the
// meshes of a document, where the caller's thread takes part and small jobs
// run on it alone, since starting a thread costs more than they do; and the
// files of a folder, handed out in order from the caller's thread.
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

// The number of processors the process may use (at least 1), asked of the
// system once.
unsigned ProcessorCount();

// Hands out items 0, 1, ... in order from the calling thread to up to
// `threads` worker threads and returns when every item handed out has
// returned. Just before item i is handed out, start(i) is called on the
// calling thread; false stops there, and no later item is handed out. An
// item for which alone(i) is true runs with no other item beside it.
// Returns the number of items handed out. As ForEachInParallel, the
// exception of the lowest item that threw is rethrown here, and no item is
// handed out after a throw. With one thread, or one item, everything runs
// on the calling thread.
size_t ForEachInOrder(size_t count, size_t threads, const std::function<bool(size_t)>& start,
                      const std::function<bool(size_t)>& alone, const std::function<void(size_t)>& work);

}  // namespace qwz::platform
