// An operating-system error code as a short Polish reason for the user.
#pragma once

#include <string>

namespace qwz::platform {

// `code` is errno on POSIX and GetLastError() on Windows.
std::string SystemReason(unsigned long code);

// The calling thread's last error code (errno / GetLastError()).
unsigned long LastSystemError();

}  // namespace qwz::platform
