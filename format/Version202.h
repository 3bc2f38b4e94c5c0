// Reader and writer of the version 202 layout (the layout is drawn in
// Version202.cpp).
#pragma once

#include "bytes/ByteReader.h"
#include "bytes/ByteWriter.h"
#include "format/ReadOptions.h"
#include "model/DocumentContent.h"

namespace qwz {

// Clears the geometry and fills the document from a whole version 202 file.
// Throws FormatError when the data is cut short inside a section or holds a
// count that cannot fit in the bytes that remain.
// `options` say how; `result` gets the meshes left in the bytes and the
// warnings.
void ReadVersion202(DocumentContent& doc, ByteReader& in, const ReadOptions& options, ReadResult& result);

// Appends the whole version 202 file of the document, gated by params.
// Throws FormatError (Unwritable) when the document does not fit the layout.
// The meshes come from `meshes`; what the writer reports goes to `warnings`.
// Returns the largest change of a vertex coordinate that quantising the
// meshes makes (WriteQuantisedMeshes).
double WriteVersion202(DocumentContent& doc, ByteWriter& out, const TQWZSaveParams& params,
                       const MeshSource& meshes, Warnings& warnings);

}  // namespace qwz
