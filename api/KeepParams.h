// The public keep choices as the engine's save parameters, and what a
// conversion left out as the public list, both through the table of keep
// flags.
#pragma once

#include "engine/Dropped.h"
#include "model/Qwzsaveparams.h"
#include "qwz/Convert.h"
#include "qwz/Keep.h"

#include <vector>

namespace qwz::api {

TQWZSaveParams ParamsOf(const Keep& keep, int target, bool keepBackup);
std::vector<DroppedKind> DroppedKinds(const Dropped& dropped);

}  // namespace qwz::api
