// The safe replacement stands on the operating-system seam and speaks its
// words: the file operations, their handles, states and answers, the
// system's reasons and the path helpers are named in replace/ without the
// seam's prefix.
#pragma once

#include "platform/FileOps.h"
#include "platform/PathNames.h"

namespace qwz::replace {
using namespace qwz::platform;  // NOLINT: the floor below, read as this floor's own words
}  // namespace qwz::replace
