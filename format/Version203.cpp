// Placeholder until the version 203 layout is built: refuses to read or write.
#include "format/Version203.h"

namespace qwz {

void ReadVersion203(KlasaQwz&, ByteReader& in) {
    throw FormatError(FormatError::Kind::Malformed, in.offset(), "wersja 203 nie jest jeszcze obsługiwana");
}

void WriteVersion203(KlasaQwz&, ByteWriter&, const TQWZSaveParams&) {
    throw FormatError(FormatError::Kind::Unwritable, "zapis wersji 203 nie jest jeszcze obsługiwany");
}

}  // namespace qwz
