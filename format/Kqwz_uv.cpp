// UV block (kind 1 or 5), after its kind byte:
//   int32 size = 4 + 4 x G + S x R | value A[4] | value B[4] | int32 G (>= 1)
//   | G x ( int32 n | n records )
// record, kind 5 (S = 32): 4 corners x ( float32 u | float32 v )
// record, kind 1 (S = 16): 4 corners x ( uint16 u' | uint16 v' ), u = u' / 65535
// The size counts neither itself nor values A and B; readers do not skip by it.
#include "format/Kqwz_uv.h"

#include "bytes/LittleEndian.h"
#include "platform/LargeBuffer.h"
#include "platform/Parallel.h"

#include <cmath>
#include <utility>
#include <vector>

namespace qwz {

uint16_t UvToFraction(float value) {
    const double scaled = std::trunc(double(value) * 65535.0 + 0.5);
    // Only values an int64 holds convert; the low 16 bits are what is stored.
    if (!(scaled > -9.2e18 && scaled < 9.2e18)) return 0;
    return uint16_t(uint64_t(int64_t(scaled)));
}

float UvFromFraction(uint16_t fraction) { return float(fraction) / 65535.0f; }

void TKQWZ_UV::Clear() {
    Groups.clear();
    RecordBytes.clear();
    size_ = 0;
}

bool TKQWZ_UV::Read(ByteReader& in) {
    Compressed = kind_ == ktUV16;
    Clear();
    if (in.remaining() < 16) return false;
    size_ = in.i32("rozmiar bloku UV");
    ValueA = in.u32("wartość A bloku UV");
    ValueB = in.u32("wartość B bloku UV");
    const size_t groupsAt = in.offset();
    const int32_t groupCount = in.i32("liczba grup bloku UV");
    if (groupCount == 0) return false;
    Groups.resize(in.fitCount(groupCount, groupsAt, 4, "liczba grup bloku UV"));

    // The groups are found one after another, every count checked against
    // the bytes; then decoded in parallel, each group on its own.
    const size_t recordSize = RecordSize();
    std::vector<std::pair<const uint8_t*, uint32_t>> records(Groups.size());
    uint64_t cost = 0;
    for (size_t g = 0; g < Groups.size(); ++g) {
        const uint32_t n = in.count32(recordSize, "liczba rekordów grupy UV");
        records[g] = {in.take(n * recordSize, "rekordy UV"), n};
        cost += n;
    }
    if (Records == UvRecords::CheckOnly) return true;
    if (Records == UvRecords::LeaveInBytes) {
        RecordBytes = std::move(records);
        return true;
    }
    const bool compressed = Compressed;  // a local: stores through p cannot change it
    platform::ForEachInParallel(Groups.size(), cost, [&](size_t g) {
        const uint8_t* p = records[g].first;
        Groups[g].reserve(records[g].second);
        platform::AdviseLargeBuffer(Groups[g].data(), Groups[g].capacity() * sizeof(CuvF));
        Groups[g].resize(records[g].second);
        for (CuvF& record : Groups[g]) {
            for (CuvF::Corner& corner : record.corners) {
                if (compressed) {
                    corner.u = UvFromFraction(le::Load16(p));
                    corner.v = UvFromFraction(le::Load16(p + 2));
                    p += 4;
                } else {
                    corner.u = le::LoadF32(p);
                    corner.v = le::LoadF32(p + 4);
                    p += 8;
                }
            }
        }
        in.done(records[g].first, size_t(records[g].second) * recordSize);
    });
    return true;
}

bool TKQWZ_UV::Write(ByteWriter& out, const TQWZSaveParams& params) {
    if (!IsKept(params)) return true;
    const size_t recordSize = RecordSize();
    uint64_t records = 0;
    for (size_t g = 0; g < Groups.size(); ++g) records += RecordCount(g);
    size_ = int32_t(4 + 4 * Groups.size() + recordSize * records);

    out.u8(uint32_t(GetKind()));
    out.i32(size_);
    out.u32(ValueA);
    out.u32(ValueB);
    out.i32(int32_t(Groups.size()));
    if (!RecordBytes.empty()) {
        // Records left in the file's bytes go back as they lie.
        for (const auto& [first, count] : RecordBytes) {
            out.i32(int32_t(count));
            out.carry(first, count * recordSize);
        }
        return true;
    }
    // Room for every group's records first; then they are encoded into it
    // in parallel.
    std::vector<size_t> places(Groups.size());
    for (size_t g = 0; g < Groups.size(); ++g) {
        out.i32(int32_t(Groups[g].size()));
        places[g] = out.size();
        out.grow(Groups[g].size() * recordSize);
    }
    const bool compressed = Compressed;  // a local: stores through p cannot change it
    platform::ForEachInParallel(Groups.size(), records, [&](size_t g) {
        uint8_t* p = out.at(places[g]);
        for (const CuvF& record : Groups[g]) {
            for (const CuvF::Corner& corner : record.corners) {
                if (compressed) {
                    le::Store16(p, UvToFraction(corner.u));
                    le::Store16(p + 2, UvToFraction(corner.v));
                    p += 4;
                } else {
                    le::StoreF32(p, corner.u);
                    le::StoreF32(p + 4, corner.v);
                    p += 8;
                }
            }
        }
    });
    return true;
}

}  // namespace qwz
