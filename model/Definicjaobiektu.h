// The geometry object: the whole content of one document. Each geometry
// kind keeps three lists parallel by position (names, attributes, records);
// the meshes keep names, attributes, vertex lists and face lists the same
// way. The container map holds the extra-data blocks of the tail.
#pragma once

#include "model/Kontenerqwz.h"
#include "model/Records.h"

#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <string>
#include <vector>

namespace qwz {

// A view of one geometry kind's three parallel lists, so that the group
// code is written once for all four kinds; and of the records its names
// left in the bytes read, when a load left them there (then every record
// list is empty, and `inBytes` runs parallel to the names).
template <class Record>
struct GeometryGroup {
    std::vector<std::string>& names;
    std::vector<int32_t>& attributes;
    std::vector<std::vector<Record>>& records;
    std::vector<RecordsInBytes>& inBytes;

    size_t Count() const { return names.size(); }
    // New names are empty, new attributes 0, new record lists empty; no
    // record is left in bytes.
    void Resize(size_t n) const {
        names.resize(n);
        attributes.resize(n, 0);
        records.resize(n);
        inBytes.clear();
    }
};

class DefinicjaObiektu {
public:
    DefinicjaObiektu() = default;
    ~DefinicjaObiektu() { Clear(); }
    DefinicjaObiektu(const DefinicjaObiektu&) = delete;
    DefinicjaObiektu& operator=(const DefinicjaObiektu&) = delete;

    float RefPoint[3] = {0, 0, 0};  // copy of the document's reference point
    // What every face corner is less than the vertex its index names: the
    // reference point of a version 201 file (CornersShifted), else nothing.
    bool CornersShifted = false;
    float CornerShift[3] = {0, 0, 0};
    float BoxMin[3] = {0, 0, 0};
    float BoxMax[3] = {0, 0, 0};

    std::vector<std::string> MeshNames;
    std::vector<std::string> LineNames;
    std::vector<std::string> CircleNames;
    std::vector<std::string> PolyNames;
    std::vector<std::string> ArcNames;

    std::vector<vcF> Faces;      // per mesh
    std::vector<vcV> Vertices;   // per mesh
    // A load that leaves the meshes in the file's bytes leaves these lists
    // empty; its mesh source (model/MeshSource.h) then gives the meshes.
    std::vector<vcPoly> Polys;   // per polyline name
    std::vector<vcCircle> Circles;
    std::vector<vcLine> Lines;
    std::vector<vcArc> Arcs;
    std::vector<vcFN> FaceNormals;  // never filled by this system
    // Per name, the records a load for a single save left in the file's
    // bytes (ReadOptions::Meshes::LeaveInBytes); empty otherwise. Then the
    // record lists above are empty and the writers carry these as they lie.
    std::vector<RecordsInBytes> PolyBytes;
    std::vector<RecordsInBytes> CircleBytes;
    std::vector<RecordsInBytes> LineBytes;
    std::vector<RecordsInBytes> ArcBytes;

    std::vector<int32_t> MeshAttributes;
    std::vector<int32_t> LineAttributes;
    std::vector<int32_t> CircleAttributes;
    std::vector<int32_t> PolyAttributes;
    std::vector<int32_t> ArcAttributes;

    VUVtype UVs;  // emptied by Clear, otherwise unused: UV data lives in blocks
    TQwzKontMap Containers;

    // Empties every name, attribute, record, mesh and UV list, resets the
    // bounding box to +1e38 / -1e38 and the corner shift to none. The
    // reference point copy, the face normals and the containers stay.
    void Clear();
    // Corner k (0-3) of `face` of mesh `mesh`: the vertex its index names,
    // less the corner shift when there is one; a zero point for an index
    // that names no vertex of the mesh.
    CpunktF Corner(size_t mesh, const CfaceF& face, int k) const { return Corner(Vertices[mesh], face, k); }
    // The same, of a mesh whose vertices are `vertices`.
    CpunktF Corner(const vcV& vertices, const CfaceF& face, int k) const {
        const uint32_t index = uint32_t(face.indices[size_t(k)]);
        if (index >= vertices.size()) return {};
        CpunktF corner = vertices[index];
        if (CornersShifted) {
            corner.x -= CornerShift[0];
            corner.y -= CornerShift[1];
            corner.z -= CornerShift[2];
        }
        return corner;
    }
    // Whether any group's records are left in the bytes read.
    bool RecordsInBytesLeft() const {
        return !PolyBytes.empty() || !CircleBytes.empty() || !LineBytes.empty() || !ArcBytes.empty();
    }
    // Appends a mesh named `name` with attribute -1 and no vertices or faces.
    void AddMesh(const std::string& name);

    GeometryGroup<CCircle> CircleGroup() { return {CircleNames, CircleAttributes, Circles, CircleBytes}; }
    GeometryGroup<CLine> LineGroup() { return {LineNames, LineAttributes, Lines, LineBytes}; }
    GeometryGroup<CPoly> PolyGroup() { return {PolyNames, PolyAttributes, Polys, PolyBytes}; }
    GeometryGroup<CArc> ArcGroup() { return {ArcNames, ArcAttributes, Arcs, ArcBytes}; }
};

using DefinicjaObiektuPtr = boost::shared_ptr<DefinicjaObiektu>;

}  // namespace qwz
