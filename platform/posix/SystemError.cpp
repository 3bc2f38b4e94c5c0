#include "platform/SystemError.h"

#include <cerrno>

namespace qwz::platform {

std::string SystemReason(unsigned long code) { return ErrnoReason(int(code)); }

unsigned long LastSystemError() { return static_cast<unsigned long>(errno); }

}  // namespace qwz::platform
