// Scaling-zone block (kind 3), after its kind byte:
//   int32 size = 55 + 8 x E | int32 reserved (0)
//   | 3 axes x ( float64 first | float64 second )
//   | 3 zone lists, axis 0, 1, 2: u8 header | n x float64 value
// header: n in the low 7 bits; 0x80 when n > 0 and the first zone's flag is
// 0. Zone flags alternate from the first one, so only that one is stored.
// E is the number of zones of all three axes.
#include "format/Kqwz_scaler.h"

#include "bytes/LittleEndian.h"

namespace qwz {
namespace {

constexpr uint8_t kCountMask = 0x7F;
constexpr uint8_t kFirstFlagZero = 0x80;

}  // namespace

void TKQWZ_Scaler::Clear() {
    for (auto& zones : Zones) zones.clear();
    First = {};
    Second = {};
    size_ = 0;
}

bool TKQWZ_Scaler::Read(ByteReader& in) {
    if (in.remaining() < 4 + 4 + 6 * 8) return false;
    size_ = in.i32("rozmiar bloku stref skalowania");
    in.skip(4, "pole zarezerwowane bloku stref skalowania");
    for (int axis = 0; axis < 3; ++axis) {
        First[axis] = {in.f64("wartość osi strefy skalowania"), 0};
        Second[axis] = {in.f64("wartość osi strefy skalowania"), 0};
    }
    for (auto& zones : Zones) {
        if (in.atEnd()) return false;
        const uint8_t header = in.u8("nagłówek listy stref skalowania");
        const size_t n = header & kCountMask;
        int32_t flag = (header & kFirstFlagZero) ? 0 : 1;
        const uint8_t* p = in.take(n * 8, "strefy skalowania");
        zones.resize(n);
        for (ksvType& zone : zones) {
            zone = {le::LoadF64(p), flag};
            flag = 1 - flag;
            p += 8;
        }
    }
    return true;
}

bool TKQWZ_Scaler::Write(ByteWriter& out, const TQWZSaveParams& params) {
    if (!IsKept(params)) return true;
    size_t entries = 0;
    for (const auto& zones : Zones) {
        if (zones.size() > kMaxZones)
            throw FormatError(FormatError::Kind::Unwritable,
                              "lista stref skalowania ma więcej niż 127 pozycji");
        entries += zones.size();
    }
    size_ = int32_t(55 + 8 * entries);

    out.u8(ktScaler);
    out.i32(size_);
    out.i32(0);
    for (int axis = 0; axis < 3; ++axis) {
        out.f64(First[axis].value);
        out.f64(Second[axis].value);
    }
    for (const auto& zones : Zones) {
        uint8_t header = uint8_t(zones.size());
        if (!zones.empty() && zones.front().flag == 0) header |= kFirstFlagZero;
        out.u8(header);
        for (const ksvType& zone : zones) out.f64(zone.value);
    }
    return true;
}

}  // namespace qwz
