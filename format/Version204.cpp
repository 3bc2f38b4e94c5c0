// Version 204 file:
//   "QWZ" | u8 204 | float32 reference X, Y, Z
//   | circle and light group | line group | polyline group | arc group
//   | mesh group | extra-data tail up to the end of the file
// The groups are in GeometryGroups.cpp, the meshes in MeshGroup204.cpp,
// the tail in ExtraTail.cpp. A file may end at any section boundary after
// the header: what follows then reads as empty.
#include "format/Version204.h"

#include "format/ExtraTail.h"
#include "format/GeometryGroups.h"
#include "format/MeshGroup204.h"
#include "platform/LargeBuffer.h"

#include <cmath>
#include <string>

namespace qwz {
namespace {

constexpr size_t kHeaderSize = 16;

// The bytes of the file with every keep flag on: what the writer reserves.
uint64_t Version204Size(const DefinicjaObiektu& def, const MeshSource& meshes) {
    return kHeaderSize + GeometryGroupsSize(def) + MeshGroup204Size(def, meshes) + ExtraTailSize(def);
}

}  // namespace

int16_t ReferenceTenths(float value) {
    const double tenths = std::trunc(double(value) * 10.0);
    // Beyond the int32 range (or NaN) there is no value to keep.
    if (!(tenths > -2147483649.0 && tenths < 2147483648.0)) return 0;
    return int16_t(uint16_t(uint32_t(int32_t(tenths))));
}

void ReadVersion204(DocumentContent& doc, ByteReader& in, const ReadOptions& options, ReadResult& result) {
    DefinicjaObiektu& def = *doc.GetDefinition();
    def.Clear();
    in.skip(3, "nagłówek pliku");
    doc.Version = in.u8("wersja pliku");
    for (int axis = 0; axis < 3; ++axis) {
        const float value = in.f32("punkt odniesienia");
        doc.RefPoint[axis] = value;
        def.RefPoint[axis] = value;
        doc.RefTenths[axis] = ReferenceTenths(value);
    }
    ReadGeometryGroups(def, in, options.meshes);
    ReadMeshGroup204(def, in, options, result);
    ReadExtraTail(def, in, UvRecordsFor(options), result.warnings);
    doc.VertexScale = 1.0f;
}

double WriteVersion204(DocumentContent& doc, ByteWriter& out, const TQWZSaveParams& params,
                       const MeshSource& meshes, Warnings& warnings) {
    const DefinicjaObiektu& def = *doc.GetDefinition();
    warnings.push_back({Warning::Kind::SaveSummary,
                        "F: " + std::to_string(def.Faces.size()) + ", V: " + std::to_string(def.Vertices.size()) +
                            ", Names: " + std::to_string(def.MeshNames.size()) +
                            ", Kol: " + std::to_string(def.MeshAttributes.size()),
                        "", false});
    out.reserve(out.size() + size_t(Version204Size(def, meshes)));
    // Not when the meshes are given back as they are written: the new
    // file's pages are then met as the document's are freed.
    if (!meshes.WrittenMeshesGoBack()) platform::AdviseLargeBuffer(out.spare(), out.spareSize());
    // What the layout cannot hold throws; then the buffer is left as it was.
    const size_t start = out.size();
    try {
        out.bytes("QWZ", 3);
        out.u8(204);
        for (int axis = 0; axis < 3; ++axis) out.f32(doc.RefPoint[axis]);
        WriteGeometryGroups(def, out, params);
        WriteMeshGroup204(def, meshes, out, warnings);
        WriteExtraTail(def, out, params);
    } catch (...) {
        out.truncate(start);
        throw;
    }
    return 0;
}

}  // namespace qwz
