#include "model/MeshSource.h"

#include "model/Definicjaobiektu.h"

#include <algorithm>

namespace qwz {
namespace {

const vcV kNoVertices;
const vcF kNoFaces;

}  // namespace

MeshesInMemory::MeshesInMemory(const DefinicjaObiektu& def, DefinicjaObiektu* giveBack)
    : def_(def), giveBack_(giveBack) {}

size_t MeshesInMemory::Count() const { return std::max(def_.Vertices.size(), def_.Faces.size()); }

size_t MeshesInMemory::VertexCount(size_t m) const { return m < def_.Vertices.size() ? def_.Vertices[m].size() : 0; }

size_t MeshesInMemory::FaceCount(size_t m) const { return m < def_.Faces.size() ? def_.Faces[m].size() : 0; }

const vcV* MeshesInMemory::HeldVertices(size_t m) const {
    return m < def_.Vertices.size() ? &def_.Vertices[m] : &kNoVertices;
}

const vcF* MeshesInMemory::HeldFaces(size_t m) const { return m < def_.Faces.size() ? &def_.Faces[m] : &kNoFaces; }

void MeshesInMemory::Build(size_t m, vcV& vertices, vcF& faces) const {
    vertices = *HeldVertices(m);
    faces = *HeldFaces(m);
}

void MeshesInMemory::BuildVertices(size_t m, uint32_t first, uint32_t count, vcV& vertices) const {
    const vcV& all = *HeldVertices(m);
    vertices.assign(all.begin() + first, all.begin() + first + count);
}

bool MeshesInMemory::MarkNamed(size_t m, std::vector<uint8_t>& named, int64_t& firstIndex) const {
    const size_t vertexCount = VertexCount(m);
    const vcF& faces = *HeldFaces(m);
    named.assign(vertexCount, 0);
    firstIndex = faces.empty() ? -1 : faces.front().indices[0];
    bool origin = false;
    for (const CfaceF& face : faces)
        for (const int32_t index : face.indices) {
            if (uint32_t(index) < vertexCount) named[uint32_t(index)] = 1;
            else origin = true;
        }
    return origin;
}

void MeshesInMemory::Written(size_t m) const {
    if (!giveBack_) return;
    // Each call touches only its own mesh's lists, so calls from several
    // threads at once are safe.
    if (m < giveBack_->Vertices.size()) vcV().swap(giveBack_->Vertices[m]);
    if (m < giveBack_->Faces.size()) vcF().swap(giveBack_->Faces[m]);
}

MeshView::MeshView(const MeshSource& meshes, size_t m, MeshScratch& scratch, bool verticesOnly) : scratch_(scratch) {
    vertices_ = meshes.HeldVertices(m);
    faces_ = meshes.HeldFaces(m);
    if (vertices_ && faces_) return;
    lists_ = scratch.Take();
    try {
        if (verticesOnly) {
            meshes.BuildVertices(m, lists_->vertices);
            lists_->faces.clear();
        } else {
            meshes.Build(m, lists_->vertices, lists_->faces);
        }
    } catch (...) {
        scratch.Give(lists_);
        throw;
    }
    vertices_ = &lists_->vertices;
    faces_ = &lists_->faces;
}

MeshView::~MeshView() {
    if (lists_) scratch_.Give(lists_);
}

}  // namespace qwz
