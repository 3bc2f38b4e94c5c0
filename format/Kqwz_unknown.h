// An extra-data block of a kind this program does not interpret: its kind
// byte and payload are carried from the input to the output unchanged
// (layout drawn in Kqwz_unknown.cpp).
#pragma once

#include "model/Kontenerqwz.h"

#include <cstdint>
#include <vector>

namespace qwz {

class TKQWZ_Unknown : public TKontenerQwz {
public:
    uint8_t KindByte = 0;        // the block kind as read
    std::vector<uint8_t> Bytes;  // the payload

    void Clear() override;
    // False when the size is cut short, not positive, or larger than the
    // data that remains; nothing is allocated then.
    bool Read(ByteReader& in) override;
    // False, writing nothing, when the block holds no bytes.
    bool Write(ByteWriter& out, const TQWZSaveParams& params) override;
    // Sets the kind and the kind byte written back. KeptBy (KeepOtherExtra)
    // comes from the base.
    void SetKind(EKontenerTyp kind) override {
        kind_ = kind;
        KindByte = uint8_t(kind);
    }
};

}  // namespace qwz
