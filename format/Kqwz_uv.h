// The UV block of the extra-data tail: UV coordinates of mesh faces, one
// group per mesh and one record per face (layout drawn in Kqwz_uv.cpp).
// Kind 1 stores coordinates as 16-bit fractions, kind 5 as float32.
#pragma once

#include "model/Kontenerqwz.h"
#include "model/Records.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace qwz {

// What a read does with a UV block's records: decodes them, only checks
// their counts (a read that checks a file), or leaves them in the file's
// bytes to be written back as they are (a document saved once: every
// layout that keeps the block keeps its records' form, and decoding and
// encoding them gives the same bytes).
enum class UvRecords { Decode, CheckOnly, LeaveInBytes };

// The 16-bit form of a UV coordinate: trunc(value * 65535 + 0.5), cut to
// its low 16 bits, so 0.5 gives 32768. Values outside 0..1 are not kept;
// NaN and values too large for any integer give 0.
uint16_t UvToFraction(float value);
// u' / 65535.
float UvFromFraction(uint16_t fraction);

class TKQWZ_UV : public TKontenerQwz {
public:
    TKQWZ_UV() { kind_ = ktUVFloat; }

    VUVtype Groups;
    uint32_t ValueA = 0;  // carried through unchanged
    uint32_t ValueB = 0;
    bool Compressed = false;  // kind 1: 16-bit coordinates
    // Set before a read. With CheckOnly every count is still held against
    // the bytes, but the groups are left without their records; with
    // LeaveInBytes the groups' records stay in the bytes read (RecordBytes),
    // which must outlive the block.
    UvRecords Records = UvRecords::Decode;
    std::vector<std::pair<const uint8_t*, uint32_t>> RecordBytes;  // per group: first record, count

    void Clear() override;
    // False when the size, values A and B or the group count are cut short,
    // or the group count is 0. Records cut short throw FormatError.
    bool Read(ByteReader& in) override;
    bool Write(ByteWriter& out, const TQWZSaveParams& params) override;
    EKontenerTyp GetKind() const override { return Compressed ? ktUV16 : ktUVFloat; }
    void SetKind(EKontenerTyp kind) override {
        kind_ = kind;
        Compressed = kind == ktUV16;
    }
    KeepMember KeptBy() const override { return &TQWZSaveParams::KeepUV; }

    // Bytes of one record in the file: 16 for kind 1, 32 for kind 5.
    size_t RecordSize() const { return Compressed ? 16 : 32; }
    // The records of group g, wherever they are.
    size_t RecordCount(size_t g) const { return RecordBytes.empty() ? Groups[g].size() : RecordBytes[g].second; }
};

}  // namespace qwz
