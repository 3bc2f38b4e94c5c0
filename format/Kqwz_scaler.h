// The scaling-zone block of the extra-data tail, kind 3: two values per
// axis and a list of zones per axis (layout drawn in Kqwz_scaler.cpp).
#pragma once

#include "model/Kontenerqwz.h"
#include "model/Records.h"

#include <array>
#include <vector>

namespace qwz {

class TKQWZ_Scaler : public TKontenerQwz {
public:
    TKQWZ_Scaler() { kind_ = ktScaler; }

    // Most entries a zone list can hold: its count is 7 bits of the header.
    static constexpr size_t kMaxZones = 127;

    std::array<ksvType, 3> First{};   // first value of axis 0, 1, 2 (flag 0)
    std::array<ksvType, 3> Second{};  // second value of axis 0, 1, 2 (flag 0)
    std::array<std::vector<ksvType>, 3> Zones;  // per axis; flags alternate

    void Clear() override;
    // False when the size, the reserved value, an axis value or a header
    // byte is cut short. Zone values cut short throw FormatError.
    bool Read(ByteReader& in) override;
    // Throws FormatError (Unwritable) when a zone list holds more than
    // kMaxZones entries, before anything is written.
    bool Write(ByteWriter& out, const TQWZSaveParams& params) override;
    EKontenerTyp GetKind() const override { return ktScaler; }
    KeepMember KeptBy() const override { return &TQWZSaveParams::KeepScalingZones; }
};

}  // namespace qwz
