// Placeholder until the main window is built: opens nothing.
#include "app/window/Mainform.h"

namespace qwz {

int RunMainWindow() { return 0; }

}  // namespace qwz
