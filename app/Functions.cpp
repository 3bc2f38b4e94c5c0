// Placeholder until the Explorer command is built: registration fails.
#include "app/Functions.h"

#include <stdexcept>

namespace qwz {

void RegisterShellVerb(int) { throw std::runtime_error("rejestracja niedostępna"); }

void UnregisterShellVerb() { throw std::runtime_error("rejestracja niedostępna"); }

}  // namespace qwz
