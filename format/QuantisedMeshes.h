// The mesh group of versions 201, 202 and 203: one implementation for the
// three layouts, which differ only in the widths of their counts and
// indices. Per mesh:
//   name field (32) | int32 attribute | filler (61: 57 meaningless bytes,
//   int16 1, int16 1) | vertex count V | V x (int16 x, y, z) quantised at
//   the vertex scale | face count F | F x uint8 flag | F x 4 indices
// Version 203: int32 mesh count, uint24 counts and indices.
// Versions 201/202: uint8 mesh count, uint16 counts and indices.
#pragma once

#include "bytes/ByteReader.h"
#include "bytes/ByteWriter.h"
#include "format/ReadOptions.h"
#include "model/DocumentContent.h"
#include "model/MeshSource.h"
#include "model/Warnings.h"

#include <cstdint>

namespace qwz {

struct QuantisedMeshLayout {
    int version;               // named in the messages about what does not fit
    int meshCountWidth;        // bytes: 4 (signed) or 1
    int countWidth;            // bytes of the vertex and face counts: 3 or 2
    int indexWidth;            // bytes of one face index: 3 or 2
    uint32_t maxMeshes;        // most meshes the layout holds
    uint32_t maxPerMesh;       // most vertices and most faces in one mesh
    bool reportBadIndices;     // an index not below V is reported in a warning
};

inline constexpr QuantisedMeshLayout kMeshes203 = {203, 4, 3, 3, 0x7FFFFFFF, 16777215, true};
// Also the mesh group of 201.
inline constexpr QuantisedMeshLayout kMeshes202 = {202, 1, 2, 2, 255, 32767, false};

constexpr size_t kMeshFillerSize = 61;

// Throws FormatError (Unwritable) when the document's mesh lists differ in
// length or hold more meshes than the layout does. What does not fit inside
// a mesh is found by the writer.
void CheckQuantisedMeshes(const DocumentContent& doc, const QuantisedMeshLayout& layout);

// The bytes the mesh group takes.
uint64_t QuantisedMeshesSize(const DefinicjaObiektu& def, const MeshSource& meshes, const QuantisedMeshLayout& layout);

// Appends the mesh group; CheckQuantisedMeshes must have passed. Throws
// FormatError (Unwritable) naming the first thing in the meshes that the
// layout cannot hold: too many vertices or faces in a mesh, a coordinate
// that does not quantise into an int16 at the vertex scale, or an index
// wider than its field. The buffer then holds a part of a file. The
// meshes' vertices and faces come from `meshes`, each told Written once it
// is in the buffer; with layout.reportBadIndices every index not below its
// mesh's vertex count is added to `warnings`, in mesh order. Returns the
// largest change of a vertex coordinate that the quantisation makes: how far
// a reader of the new file finds a coordinate from the one it was given
// (for 16-bit vertices given again, from the value they were read as).
double WriteQuantisedMeshes(const DocumentContent& doc, const MeshSource& meshes, ByteWriter& out,
                            const QuantisedMeshLayout& layout, Warnings& warnings);

// Reads the mesh group into the cleared geometry object, dividing vertices
// by the document's vertex scale. With `cornerShift` the face corners are
// the vertices less that shift (the geometry object's corner shift); an
// index not below V gives a zero corner and is kept as read. Counts are checked against
// the bytes that remain before anything is allocated for them. `options`
// say whether the meshes are built, left in the bytes (result.meshes) or
// only walked (then the meshes get their names and attributes only).
void ReadQuantisedMeshes(DocumentContent& doc, ByteReader& in, const QuantisedMeshLayout& layout,
                         const ReadOptions& options, ReadResult& result, const float* cornerShift = nullptr);

}  // namespace qwz
