// The save parameters: which version a conversion writes and which kinds of
// content it keeps. The window keeps the choices of its last batch in one;
// everything below it is handed them.
// Every keep flag has its row in the table of keep flags (model/KeepFlags.h).
#pragma once

#include <cstdint>

namespace qwz {

struct TQWZSaveParams {
    int32_t TargetVersion = 0;  // 0: not set (a command-line run)
    bool KeepLines = true;
    bool KeepPolylines = true;
    bool KeepArcs = true;
    bool KeepCircles = true;
    bool KeepUV = true;
    bool KeepScalingZones = true;
    bool KeepOtherExtra = true;
    bool KeepOriginal = true;  // keep the original under the backup name

    // Any / every flag of an extra-data kind; no tail is written at all
    // when none is kept.
    bool KeepsAnyExtra() const;
    bool KeepsAllExtra() const;
    // Every content flag; KeepOriginal plays no part.
    bool KeepsEverything() const;
};

// One keep flag, as a member of the save parameters.
using KeepMember = bool TQWZSaveParams::*;

}  // namespace qwz
