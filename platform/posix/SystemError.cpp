#include "platform/SystemError.h"

#include <cerrno>

namespace qwz::platform {

Reason SystemReason(unsigned long code) { return ErrnoReason(int(code)); }

StatusCode SystemCode(unsigned long code) { return ErrnoCode(int(code)); }

unsigned long LastSystemError() { return static_cast<unsigned long>(errno); }

}  // namespace qwz::platform
