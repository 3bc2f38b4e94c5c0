// The four geometry groups (circles and lights, lines, polylines, arcs),
// stored the same way by versions 202, 203 and 204.
#pragma once

#include "bytes/ByteReader.h"
#include "bytes/ByteWriter.h"
#include "format/ReadOptions.h"
#include "model/Definicjaobiektu.h"
#include "model/Qwzsaveparams.h"

namespace qwz {

// Reads the four groups in file order into a cleared geometry object. The
// data ending exactly where a group's name count would start reads as that
// group and every later one being empty. The records are read as `records`
// says of meshes: decoded (Build), left in the bytes read, which must
// outlive them (LeaveInBytes: the geometry object's *Bytes lists), or only
// checked against the bytes (NamesOnly: the names and attributes are kept,
// every record list is left empty).
void ReadGeometryGroups(DefinicjaObiektu& def, ByteReader& in,
                        ReadOptions::Meshes records = ReadOptions::Meshes::Build);

// Writes the four groups in file order; a group whose keep flag is off is
// written as the name count 0.
void WriteGeometryGroups(const DefinicjaObiektu& def, ByteWriter& out,
                         const TQWZSaveParams& params);

// The bytes WriteGeometryGroups appends with every keep flag on.
uint64_t GeometryGroupsSize(const DefinicjaObiektu& def);

}  // namespace qwz
