#include "platform/LargeBuffer.h"

namespace qwz::platform {

// Large pages on Windows need a privilege that users do not hold; the
// default pages serve.
void AdviseLargeBuffer(void*, size_t) {}

}  // namespace qwz::platform
