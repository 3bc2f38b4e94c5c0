// What one QWZ file holds once read: the values its header carries (version
// byte, reference point, vertex scale) and the geometry object; content
// only. The readers of format/ fill it and its writers encode it; the
// document KlasaQwz (format/Klasaqwz.h) adds the loading and saving
// around them. How a file is read is an argument of the read, and how the
// meshes reach a writer a mesh source handed to it (model/MeshSource.h).
#pragma once

#include "model/Definicjaobiektu.h"

#include <cstdint>
#include <vector>

namespace qwz {

class DocumentContent {
public:
    DocumentContent();
    DocumentContent(const DocumentContent&) = delete;
    DocumentContent& operator=(const DocumentContent&) = delete;

    bool Loaded = false;             // set by every load that passes the header checks
    uint8_t Version = 204;
    int16_t RefTenths[3] = {0, 0, 0};
    float RefPoint[3] = {0, 0, 0};
    float VertexScale = 0.1f;
    DefinicjaObiektuPtr Definition;

    // The geometry object, created empty should the pointer ever be empty.
    DefinicjaObiektuPtr GetDefinition();
};

}  // namespace qwz
