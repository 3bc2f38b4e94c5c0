// Placeholder until the version 202 layout is built: refuses to read or write.
#include "format/Version202.h"

namespace qwz {

void ReadVersion202(KlasaQwz&, ByteReader& in) {
    throw FormatError(FormatError::Kind::Malformed, in.offset(), "wersja 202 nie jest jeszcze obsługiwana");
}

void WriteVersion202(KlasaQwz&, ByteWriter&, const TQWZSaveParams&) {
    throw FormatError(FormatError::Kind::Unwritable, "zapis wersji 202 nie jest jeszcze obsługiwany");
}

}  // namespace qwz
