// Opaque block (any kind but 1, 3 and 5), after its kind byte:
//   int32 size n (>= 1) | n bytes carried unchanged
#include "format/Kqwz_unknown.h"

namespace qwz {

void TKQWZ_Unknown::Clear() {
    Bytes.clear();
    Bytes.shrink_to_fit();
    size_ = 0;
}

bool TKQWZ_Unknown::Read(ByteReader& in) {
    Clear();
    if (in.remaining() < 4) return false;
    const int32_t n = in.i32("rozmiar bloku danych dodatkowych");
    if (n <= 0 || size_t(n) > in.remaining()) return false;
    const uint8_t* p = in.take(size_t(n), "dane bloku danych dodatkowych");
    Bytes.assign(p, p + n);
    size_ = n;
    return true;
}

bool TKQWZ_Unknown::Write(ByteWriter& out, const TQWZSaveParams& params) {
    if (!IsKept(params)) return true;
    if (Bytes.empty()) return false;
    size_ = int32_t(Bytes.size());
    out.u8(KindByte);
    out.i32(size_);
    out.bytes(Bytes.data(), Bytes.size());
    return true;
}

}  // namespace qwz
