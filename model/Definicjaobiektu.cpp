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
    Polys.clear();
    Circles.clear();
    Lines.clear();
    Arcs.clear();
    PolyBytes.clear();
    CircleBytes.clear();
    LineBytes.clear();
    ArcBytes.clear();
    UVs.clear();
}

void DefinicjaObiektu::AddMesh(const std::string& name) {
    Faces.emplace_back();
    Vertices.emplace_back();
    MeshAttributes.push_back(-1);
    MeshNames.push_back(name);
}

}  // namespace qwz
