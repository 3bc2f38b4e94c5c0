// A hint for buffers of many megabytes that are about to be filled: where
// the system offers large memory pages for them (Linux transparent huge
// pages), ask for them, so the first touch of the buffer costs a fraction of
// the page faults. Nothing happens where there is no such hint, or for
// small buffers. The buffer's content and lifetime are not affected.
#pragma once

#include <cstddef>

namespace qwz::platform {

void AdviseLargeBuffer(void* data, size_t bytes);

}  // namespace qwz::platform
