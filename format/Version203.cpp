// Version 203 file:
//   "QWZ" | uint8 203 | 3 x int16 reference tenths
//   circle and light, line, polyline and arc groups (as version 204)
//   scale block: float32 vertex scale | 3 x float32 reference point
//   mesh group: int32 count, meshes with uint24 counts and indices
//   extra-data tail (as version 204), up to the end of the file
#include "format/Version203.h"

#include "format/ExtraTail.h"
#include "format/GeometryGroups.h"
#include "format/OldHeader.h"
#include "format/QuantisedMeshes.h"
#include "platform/LargeBuffer.h"

namespace qwz {

void ReadVersion203(DocumentContent& doc, ByteReader& in, const ReadOptions& options, ReadResult& result) {
    DefinicjaObiektu& def = *doc.GetDefinition();
    def.Clear();
    ReadOldHeader(doc, in);
    for (int i = 0; i < 3; ++i) def.RefPoint[i] = float(doc.RefTenths[i] * 0.1);  // until the scale block
    ReadGeometryGroups(def, in, options.meshes);

    doc.VertexScale = in.f32("skala wierzchołków");
    for (int i = 0; i < 3; ++i) {
        doc.RefPoint[i] = in.f32("punkt odniesienia");
        def.RefPoint[i] = doc.RefPoint[i];
    }
    ReadQuantisedMeshes(doc, in, kMeshes203, options, result);
    ReadExtraTail(def, in, UvRecordsFor(options), result.warnings);
}

double WriteVersion203(DocumentContent& doc, ByteWriter& out, const TQWZSaveParams& params,
                       const MeshSource& meshes, Warnings& warnings) {
    // What the layout cannot hold is found before the first byte or while
    // the meshes are encoded; then the buffer is left as it was.
    CheckReferenceTenths(doc);
    CheckQuantisedMeshes(doc, kMeshes203);

    const DefinicjaObiektu& def = *doc.GetDefinition();
    uint64_t size = kOldHeaderSize + GeometryGroupsSize(def) + kScaleBlockSize +
                    QuantisedMeshesSize(def, meshes, kMeshes203);
    size += ExtraTailSize(def);
    out.reserve(out.size() + size_t(size));
    // Not when the meshes are given back as they are written: the new
    // file's pages are then met as the document's are freed.
    if (!meshes.WrittenMeshesGoBack()) platform::AdviseLargeBuffer(out.spare(), out.spareSize());
    const size_t start = out.size();
    try {
        WriteOldHeader(doc, out, 203);
        WriteGeometryGroups(def, out, params);
        WriteScaleBlock(doc, out);
        const double change = WriteQuantisedMeshes(doc, meshes, out, kMeshes203, warnings);
        WriteExtraTail(def, out, params);
        return change;
    } catch (...) {
        out.truncate(start);
        throw;
    }
}

}  // namespace qwz
