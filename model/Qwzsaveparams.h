// The save parameters: which version a conversion writes and which kinds of
// content it keeps. One instance per process, reached through GetSaveParams().
#pragma once

#include <boost/shared_ptr.hpp>
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

    // No tail is written at all when this is false.
    bool KeepsAnyExtra() const { return KeepUV || KeepScalingZones || KeepOtherExtra; }
    bool KeepsAllExtra() const { return KeepUV && KeepScalingZones && KeepOtherExtra; }
    // The seven content flags; KeepOriginal plays no part.
    bool KeepsEverything() const {
        return KeepLines && KeepPolylines && KeepArcs && KeepCircles && KeepsAllExtra();
    }
};

using TQWZSaveParamsPtr = boost::shared_ptr<TQWZSaveParams>;

// The process-wide instance, created with the defaults on first use.
TQWZSaveParamsPtr GetSaveParams();

}  // namespace qwz
