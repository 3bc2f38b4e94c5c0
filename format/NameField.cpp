// Name field, 32 bytes:
//   name bytes[L] (L <= 31) | 0 | bytes[31 - L] of no meaning
#include "format/NameField.h"

#include <algorithm>

namespace qwz {

std::string ReadNameField(ByteReader& in, const char* field) {
    const uint8_t* p = in.take(kNameFieldSize, field);
    const uint8_t* end = std::find(p, p + kNameFieldSize, uint8_t(0));
    return std::string(reinterpret_cast<const char*>(p), size_t(end - p));
}

void WriteNameField(ByteWriter& out, const std::string& name) {
    uint8_t* p = out.grow(kNameFieldSize);  // zero-filled: terminator and padding
    std::memcpy(p, name.data(), std::min(name.size(), kNameFieldSize - 1));
}

}  // namespace qwz
