// The mesh group of version 204 and the index width it stores face
// indices in (the layout is drawn in MeshGroup204.cpp).
#pragma once

#include "bytes/ByteReader.h"
#include "bytes/ByteWriter.h"
#include "model/Definicjaobiektu.h"

#include <cstdint>
#include <functional>
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
// vertex is kept as read and that corner stays at zero. With `build`
// false the group is walked and checked the same way, but the meshes get
// no vertices or faces. With `onDemand` (and no meshes before them) the
// meshes are left in the reader's bytes, as DefinicjaObiektu::Pending.
void ReadMeshGroup204(DefinicjaObiektu& def, ByteReader& in, bool build = true, bool onDemand = false);

// Writes the mesh group. Every face index that names no vertex is reported
// on the debug output and still written in the mesh's index width; the
// first one of the call is also shown in a message box. Throws FormatError
// (Unwritable) when the mesh lists differ in length.
// `encoded`, when given, is called with each mesh's index once its vertices
// and faces are in the buffer (from any thread, at most once a mesh).
void WriteMeshGroup204(const DefinicjaObiektu& def, ByteWriter& out,
                       const std::function<void(size_t)>& encoded = {});

// The bytes WriteMeshGroup204 appends.
uint64_t MeshGroup204Size(const DefinicjaObiektu& def);

}  // namespace qwz
