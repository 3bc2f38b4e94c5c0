// A caught exception as a reason for the user.
#pragma once

#include "bytes/StatusCode.h"

#include <exception>
#include <string>

namespace qwz {

// A format error's own text, "za mało pamięci", a system error through the
// translator, and otherwise a general text; never the English what() of
// the C++ library.
std::string ExceptionText(const std::exception& e);
// The same text with the code of what happened: a damaged file, content
// that does not fit the layout, memory, the system's error, or the program's.
Reason ExceptionReason(const std::exception& e);

}  // namespace qwz
