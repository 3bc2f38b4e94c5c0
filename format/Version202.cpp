// Version 202 file:
//   "QWZ" | uint8 202 | 3 x int16 reference tenths
//   circle and light, line, polyline and arc groups (as version 204)
//   scale block: float32 vertex scale | 3 x float32 reference point (written,
//   not read back: the reference point comes from the tenths)
//   mesh group: uint8 count, meshes with uint16 counts and indices
//   nothing after the last mesh
#include "format/Version202.h"

#include "format/GeometryGroups.h"
#include "format/OldHeader.h"
#include "format/Quantise.h"
#include "format/QuantisedMeshes.h"
#include "platform/LargeBuffer.h"

namespace qwz {

void ReadVersion202(DocumentContent& doc, ByteReader& in, const ReadOptions& options, ReadResult& result) {
    DefinicjaObiektu& def = *doc.GetDefinition();
    def.Clear();
    ReadOldHeader(doc, in);
    ReadGeometryGroups(def, in, options.meshes);

    doc.VertexScale = 10.0f;
    for (int i = 0; i < 3; ++i) {
        doc.RefPoint[i] = FromTenths(doc.RefTenths[i]);
        def.RefPoint[i] = doc.RefPoint[i];
    }
    doc.VertexScale = in.f32("skala wierzchołków");
    in.skip(kScaleBlockSize - 4, "punkt odniesienia");
    ReadQuantisedMeshes(doc, in, kMeshes202, options, result);
}

double WriteVersion202(DocumentContent& doc, ByteWriter& out, const TQWZSaveParams& params,
                       const MeshSource& meshes, Warnings& warnings) {
    // What the layout cannot hold is found before the first byte or while
    // the meshes are encoded; then the buffer is left as it was.
    CheckReferenceTenths(doc);
    CheckQuantisedMeshes(doc, kMeshes202);

    const DefinicjaObiektu& def = *doc.GetDefinition();
    uint64_t size = kOldHeaderSize + GeometryGroupsSize(def) + kScaleBlockSize +
                    QuantisedMeshesSize(def, meshes, kMeshes202);
    out.reserve(out.size() + size_t(size));
    // Not when the meshes are given back as they are written: the new
    // file's pages are then met as the document's are freed.
    if (!meshes.WrittenMeshesGoBack()) platform::AdviseLargeBuffer(out.spare(), out.spareSize());
    const size_t start = out.size();
    try {
        WriteOldHeader(doc, out, 202);
        WriteGeometryGroups(def, out, params);
        WriteScaleBlock(doc, out);
        return WriteQuantisedMeshes(doc, meshes, out, kMeshes202, warnings);
    } catch (...) {
        out.truncate(start);
        throw;
    }
}

}  // namespace qwz
