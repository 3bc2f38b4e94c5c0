// A caught exception as a reason for the user.
#pragma once

#include <exception>
#include <string>

namespace qwz {

// A format error's own text, "za mało pamięci", a system error through the
// translator, and otherwise a general text; never the English what() of
// the C++ library.
std::string ExceptionText(const std::exception& e);

}  // namespace qwz
