// A hint for buffers of many megabytes that are about to be filled: where
// the system can make all of a buffer's pages present in one call (Linux),
// it does so, which costs far less than meeting them one page fault at a
// time while the buffer is filled. Nothing happens where there is no such
// call, or for small buffers. The buffer's content and lifetime are not
// affected.
#pragma once

#include <cstddef>

namespace qwz::platform {

void AdviseLargeBuffer(void* data, size_t bytes);

// Gives the system back the whole pages inside a range of a buffer whose
// bytes are no longer needed (a loaded file's bytes once decoded): they stop
// counting as the process's memory, and their content is undefined until
// written again. The buffer itself stays allocated and writable.
void ReleasePages(void* data, size_t bytes);

}  // namespace qwz::platform
