// The system's own registry behind CurrentRegistry (posix/ and win32/).
#pragma once

#include "platform/Registry.h"

namespace qwz::platform {

Registry& SystemRegistry();

}  // namespace qwz::platform
