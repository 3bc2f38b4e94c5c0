// What one QWZ file holds once read: the values its header carries (version
// byte, reference point, vertex scale) and the geometry object. The readers
// of format/ fill it and its writers encode it; the document KlasaQwz
// (document/Klasaqwz.h) adds the loading and saving around them.
#pragma once

#include "model/Definicjaobiektu.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace qwz {

class DocumentContent {
public:
    DocumentContent();
    DocumentContent(const DocumentContent&) = delete;
    DocumentContent& operator=(const DocumentContent&) = delete;

    std::vector<uint8_t> FaceFlags;  // readers' scratch list for one mesh's face flags
    bool Loaded = false;             // set by every load that passes the header checks
    uint8_t Version = 204;
    int16_t RefTenths[3] = {0, 0, 0};
    float RefPoint[3] = {0, 0, 0};
    float VertexScale = 0.1f;
    DefinicjaObiektuPtr Definition;
    // Set for a load that only checks a file: the readers walk the meshes
    // and the UV blocks and check every count against the bytes as always,
    // but build no vertex, face or UV record lists (each mesh keeps its name
    // and attribute).
    bool WalkOnly = false;
    // Set when the next save is the document's last use: the mesh writers
    // give each mesh's vertices and faces back once they are encoded, so
    // that the whole document and the whole new file are never in memory
    // together. The meshes' names and attributes stay.
    bool ReleaseMeshesWhenWritten = false;
    // Set before a load whose document is only to be saved once: the mesh
    // readers leave the meshes in the file's bytes (DefinicjaObiektu::
    // Pending) and the UV blocks their records, which the document keeps,
    // instead of building them all.
    bool MeshesOnDemand = false;

    // The geometry object, created empty should the pointer ever be empty.
    DefinicjaObiektuPtr GetDefinition();
    // What the mesh writers call with each mesh encoded: with
    // ReleaseMeshesWhenWritten, a call that empties that mesh's vertex and
    // face lists and gives their memory back; otherwise none.
    std::function<void(size_t)> MeshWritten();
};

}  // namespace qwz
