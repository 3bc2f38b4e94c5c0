// Reader of the version 201 layout (read only; drawn in Version201.cpp).
#pragma once

#include "bytes/ByteReader.h"
#include "model/DocumentContent.h"

namespace qwz {

// Clears the geometry and fills the document from a whole version 201 file.
// Throws FormatError when the data is cut short or a count cannot fit.
void ReadVersion201(DocumentContent& doc, ByteReader& in);

}  // namespace qwz
