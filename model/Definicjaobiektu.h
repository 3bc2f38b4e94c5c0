// The geometry object: the whole content of one document. Each geometry
// kind keeps three lists parallel by position (names, attributes, records);
// the meshes keep names, attributes, vertex lists and face lists the same
// way. The container map holds the extra-data blocks of the tail.
#pragma once

#include "model/Kontenerqwz.h"
#include "model/PendingMeshes.h"
#include "model/Records.h"

#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qwz {

// A view of one geometry kind's three parallel lists, so that the group
// code is written once for all four kinds.
template <class Record>
struct GeometryGroup {
    std::vector<std::string>& names;
    std::vector<int32_t>& attributes;
    std::vector<std::vector<Record>>& records;

    size_t Count() const { return names.size(); }
    // New names are empty, new attributes 0, new record lists empty.
    void Resize(size_t n) const {
        names.resize(n);
        attributes.resize(n, 0);
        records.resize(n);
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
    // Set by a load asked to leave the meshes in the file's bytes: every
    // mesh's lists above are then empty and come from here, through
    // MeshView. Its bytes belong to the document that loaded it.
    std::shared_ptr<const PendingMeshes> Pending;
    // Told the bytes of a mesh left in the file's bytes each time they are
    // not read again for the moment (once it is measured, once it is
    // written), from any thread: whoever holds the file's bytes may give
    // their memory back. Empty: nothing is told.
    std::function<void(const uint8_t* bytes, size_t size)> PendingBytesRead;
    std::vector<vcPoly> Polys;   // per polyline name
    std::vector<vcCircle> Circles;
    std::vector<vcLine> Lines;
    std::vector<vcArc> Arcs;
    std::vector<vcFN> FaceNormals;  // never filled by this system

    std::vector<int32_t> MeshAttributes;
    std::vector<int32_t> LineAttributes;
    std::vector<int32_t> CircleAttributes;
    std::vector<int32_t> PolyAttributes;
    std::vector<int32_t> ArcAttributes;

    VUVtype UVs;  // emptied by Clear, otherwise unused: UV data lives in blocks
    TQwzKontMap Containers;
    // Set by the tail reader when a damaged block ended the tail early: what
    // was skipped, in words for the user. Empty when the tail was whole.
    std::string TailDamage;

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
    // Mesh m's vertex and face counts, wherever its lists are.
    bool IsPending(size_t m) const { return Pending && m < Pending->Count(); }
    size_t VertexCount(size_t m) const { return IsPending(m) ? Pending->VertexCount(m) : Vertices[m].size(); }
    size_t FaceCount(size_t m) const { return IsPending(m) ? Pending->FaceCount(m) : Faces[m].size(); }
    // Tells PendingBytesRead that mesh m's bytes are read for the moment,
    // when the mesh is left in them.
    void PendingMeshRead(size_t m) const {
        if (!PendingBytesRead || !IsPending(m)) return;
        const auto [bytes, size] = Pending->Bytes(m);
        PendingBytesRead(bytes, size);
    }
    // Appends a mesh named `name` with attribute -1 and no vertices or faces.
    void AddMesh(const std::string& name);

    GeometryGroup<CCircle> CircleGroup() { return {CircleNames, CircleAttributes, Circles}; }
    GeometryGroup<CLine> LineGroup() { return {LineNames, LineAttributes, Lines}; }
    GeometryGroup<CPoly> PolyGroup() { return {PolyNames, PolyAttributes, Polys}; }
    GeometryGroup<CArc> ArcGroup() { return {ArcNames, ArcAttributes, Arcs}; }
};

// Mesh m's vertex and face lists for as long as the view lives: the
// geometry object's own, or, for a mesh left in the file's bytes, built into
// lists taken from `scratch`.
class MeshView {
public:
    // `verticesOnly`: a mesh left in the file's bytes has its vertices built
    // and no faces (they are read where they lie, PendingMeshes::Faces).
    MeshView(const DefinicjaObiektu& def, size_t m, MeshScratch& scratch, bool verticesOnly = false);
    ~MeshView();
    MeshView(const MeshView&) = delete;
    MeshView& operator=(const MeshView&) = delete;

    const vcV& vertices() const { return *vertices_; }
    const vcF& faces() const { return *faces_; }

private:
    MeshScratch& scratch_;
    MeshScratch::Lists* lists_ = nullptr;
    const vcV* vertices_;
    const vcF* faces_;
};

using DefinicjaObiektuPtr = boost::shared_ptr<DefinicjaObiektu>;

}  // namespace qwz
