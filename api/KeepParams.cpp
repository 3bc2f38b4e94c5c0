#include "api/KeepParams.h"

#include "model/KeepFlags.h"

namespace qwz::api {

TQWZSaveParams ParamsOf(const Keep& keep, int target, bool keepBackup) {
    TQWZSaveParams p;
    p.TargetVersion = target;
    p.KeepCircles = keep.circles;
    p.KeepLines = keep.lines;
    p.KeepPolylines = keep.polylines;
    p.KeepArcs = keep.arcs;
    p.KeepUV = keep.uv;
    p.KeepScalingZones = keep.zones;
    p.KeepOtherExtra = keep.other;
    p.KeepOriginal = keepBackup;
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
