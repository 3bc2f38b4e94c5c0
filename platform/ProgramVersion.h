// The program's version, as the build gives it.
#pragma once

namespace qwz {

const char* ProgramVersion();

}  // namespace qwz
