// Placeholder until the version 201 layout is built: refuses to read.
#include "format/Version201.h"

namespace qwz {

void ReadVersion201(KlasaQwz&, ByteReader& in) {
    throw FormatError(FormatError::Kind::Malformed, in.offset(), "wersja 201 nie jest jeszcze obsługiwana");
}

}  // namespace qwz
