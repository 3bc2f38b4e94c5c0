#include "api/KeepParams.h"

#include "model/KeepFlags.h"

#include <iterator>

namespace qwz::api {
namespace {

// The library's choice of each keep flag, by row of kKeepFlags; the backup
// is an argument of its own.
constexpr bool Keep::*kChoiceOf[] = {&Keep::lines, &Keep::polylines, &Keep::arcs,  &Keep::circles,
                                     &Keep::uv,    &Keep::zones,     &Keep::other, nullptr};
static_assert(std::size(kChoiceOf) == kKeepFlagCount, "a choice for every keep flag");

}  // namespace

TQWZSaveParams ParamsOf(const Keep& keep, int target, bool keepBackup) {
    TQWZSaveParams p;
    p.TargetVersion = target;
    for (size_t i = 0; i < kKeepFlagCount; ++i)
        p.*kKeepFlags[i].member = kChoiceOf[i] ? keep.*kChoiceOf[i] : keepBackup;
    return p;
}

std::vector<DroppedKind> DroppedKinds(const Dropped& dropped) {
    std::vector<DroppedKind> kinds;
    for (size_t i = 0; i < kKeepFlagCount; ++i) {
        const DropCount& c = dropped.byFlag[i];
        if (!kKeepFlags[i].dropName || (c.names == 0 && c.records == 0 && c.blocks == 0)) continue;
        kinds.push_back({kKeepFlags[i].dropName, c.names, c.records, c.blocks});
    }
    return kinds;
}

}  // namespace qwz::api
