// An operating-system error code as a short Polish reason for the user,
// with the code's category (StatusCode). Every code gives Polish text: a
// code without its own text gives "nieznany błąd systemu (kod N)", never
// the system's English message.
#pragma once

#include "bytes/StatusCode.h"

#include <string>
#include <system_error>

namespace qwz::platform {

// The category of an operating-system error code: errno on POSIX,
// GetLastError() on Windows (where the C runtime's errno values are taken by
// ErrnoCode).
StatusCode SystemCode(unsigned long code);
// The category of an errno value of the C runtime, on every platform.
StatusCode ErrnoCode(int code);

// `code` is errno on POSIX and GetLastError() on Windows.
Reason SystemReason(unsigned long code);

// An errno value of the C runtime, on every platform (under mingw-w64 the C
// runtime and std::filesystem report errno values too).
Reason ErrnoReason(int code);

// A std::error_code: errno values (the generic category) through
// ErrnoReason, the system's own codes through SystemReason.
Reason SystemReason(const std::error_code& code);

// The calling thread's last error code (errno / GetLastError()).
unsigned long LastSystemError();

}  // namespace qwz::platform
