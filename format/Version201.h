// Reader of the version 201 layout (read only; drawn in Version201.cpp).
#pragma once

#include "bytes/ByteReader.h"
#include "format/ReadOptions.h"
#include "model/DocumentContent.h"

namespace qwz {

// Clears the geometry and fills the document from a whole version 201 file.
// Throws FormatError when the data is cut short or a count cannot fit.
// `options` say how; `result` gets the meshes left in the bytes and the
// warnings.
void ReadVersion201(DocumentContent& doc, ByteReader& in, const ReadOptions& options, ReadResult& result);

}  // namespace qwz
