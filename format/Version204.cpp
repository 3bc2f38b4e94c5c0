// Placeholder until the version 204 layout is built: refuses to read or write.
#include "format/Version204.h"

namespace qwz {

void ReadVersion204(KlasaQwz&, ByteReader& in) {
    throw FormatError(FormatError::Kind::Malformed, in.offset(), "wersja 204 nie jest jeszcze obsługiwana");
}

void WriteVersion204(KlasaQwz&, ByteWriter&, const TQWZSaveParams&) {
    throw FormatError(FormatError::Kind::Unwritable, "zapis wersji 204 nie jest jeszcze obsługiwany");
}

}  // namespace qwz
