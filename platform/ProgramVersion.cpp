#include "platform/ProgramVersion.h"

namespace qwz {

const char* ProgramVersion() { return QWZ_VERSION_STRING; }

}  // namespace qwz
