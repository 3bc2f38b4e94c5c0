#include "platform/RegistrySystem.h"

namespace qwz::platform {

// There is no Windows registry here; the Explorer command is a desktop
// entry instead and never asks for one.
Registry& SystemRegistry() {
    throw RegistryError("no Windows registry on this system", 0);
}

}  // namespace qwz::platform
