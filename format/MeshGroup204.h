// The mesh group of version 204 and the index width it stores face
// indices in (the layout is drawn in MeshGroup204.cpp).
#pragma once

#include "bytes/ByteReader.h"
#include "bytes/ByteWriter.h"
#include "format/ReadOptions.h"
#include "model/Definicjaobiektu.h"
#include "model/MeshSource.h"
#include "model/Warnings.h"

#include <cstdint>
#include <string>

namespace qwz {

// Bytes per face index for a mesh of `vertexCount` vertices: 1 up to 255,
// 2 up to 65535, 3 up to 16777215, else 4. Chosen from the count alone,
// not from the largest index.
unsigned IndexWidth(uint32_t vertexCount);

// The text reported for a face index that names no vertex: "300 >= 256".
std::string IndexMessage(uint32_t index, uint32_t vertexCount);

// Reads the mesh group into a cleared geometry object. Data that ends where
// the mesh count would start reads as no meshes. A face index that names no
// vertex is kept as read and that corner stays at zero. `options` say
// whether the meshes are built, left in the reader's bytes (with no meshes
// before them; then result.meshes gives them) or only walked and checked.
void ReadMeshGroup204(DefinicjaObiektu& def, ByteReader& in, const ReadOptions& options, ReadResult& result);

// Writes the mesh group, the meshes' vertices and faces taken from
// `meshes` (each told Written once it is in the buffer). Every face index
// that names no vertex is still written in the mesh's index width and
// added to `warnings`, in mesh order, the first one of the call boxed.
// Throws FormatError (Unwritable) when the mesh lists differ in length.
void WriteMeshGroup204(const DefinicjaObiektu& def, const MeshSource& meshes, ByteWriter& out, Warnings& warnings);

// The bytes WriteMeshGroup204 appends.
uint64_t MeshGroup204Size(const DefinicjaObiektu& def, const MeshSource& meshes);

}  // namespace qwz
