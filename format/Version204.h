// Reader and writer of the version 204 layout (the layout is drawn in
// Version204.cpp).
#pragma once

#include "bytes/ByteReader.h"
#include "bytes/ByteWriter.h"
#include "format/ReadOptions.h"
#include "model/DocumentContent.h"

namespace qwz {

// Clears the geometry and fills the document from a whole version 204 file.
// Throws FormatError when the data is cut short inside a section or holds a
// count that cannot fit in the bytes that remain.
// `options` say how; `result` gets the meshes left in the bytes and the
// warnings.
void ReadVersion204(DocumentContent& doc, ByteReader& in, const ReadOptions& options, ReadResult& result);

// Appends the whole version 204 file of the document, gated by params.
// Throws FormatError (Unwritable) when the document does not fit the layout.
// The meshes come from `meshes`; what the writer reports goes to `warnings`.
// Returns 0: the coordinates are stored as they are.
double WriteVersion204(DocumentContent& doc, ByteWriter& out, const TQWZSaveParams& params,
                       const MeshSource& meshes, Warnings& warnings);

// The reference point in tenths as the older headers keep it: value x 10
// truncated toward zero, as int16 (its low 16 bits); 0 for NaN or a value
// beyond the int32 range. 12.37 gives 123, -12.37 gives -123.
int16_t ReferenceTenths(float value);

}  // namespace qwz
