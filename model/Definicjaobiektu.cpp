#include "model/Definicjaobiektu.h"

namespace qwz {

void DefinicjaObiektu::Clear() {
    for (int i = 0; i < 3; ++i) {
        BoxMin[i] = 1e38f;
        BoxMax[i] = -1e38f;
        CornerShift[i] = 0.0f;
    }
    CornersShifted = false;
    MeshAttributes.clear();
    LineAttributes.clear();
    CircleAttributes.clear();
    PolyAttributes.clear();
    ArcAttributes.clear();
    MeshNames.clear();
    LineNames.clear();
    CircleNames.clear();
    PolyNames.clear();
    ArcNames.clear();
    Faces.clear();
    Vertices.clear();
    Pending.reset();
    Polys.clear();
    Circles.clear();
    Lines.clear();
    Arcs.clear();
    UVs.clear();
}

void DefinicjaObiektu::AddMesh(const std::string& name) {
    Faces.emplace_back();
    Vertices.emplace_back();
    MeshAttributes.push_back(-1);
    MeshNames.push_back(name);
}

MeshView::MeshView(const DefinicjaObiektu& def, size_t m, MeshScratch& scratch, bool verticesOnly)
    : scratch_(scratch) {
    if (!def.IsPending(m)) {
        vertices_ = &def.Vertices[m];
        faces_ = &def.Faces[m];
        return;
    }
    lists_ = scratch.Take();
    try {
        if (verticesOnly) {
            def.Pending->BuildVertices(m, lists_->vertices);
            lists_->faces.clear();
        } else {
            def.Pending->Build(m, lists_->vertices, lists_->faces);
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
