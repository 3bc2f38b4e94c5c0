// Where one mesh's vertices and faces lie in a file's bytes. The mesh
// readers and writers first walk a whole mesh group, noting these places
// (and checking every count on reading); then the meshes, independent of
// each other, are built or encoded in parallel.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qwz {

// A mesh in the bytes being read: its V vertices, F face flags and F x 4
// indices.
struct MeshInFile {
    const uint8_t* vertices = nullptr;
    uint32_t v = 0;
    const uint8_t* flags = nullptr;
    const uint8_t* indices = nullptr;
    uint32_t f = 0;
};

// A mesh in the buffer being written: the offsets of the room left for its
// vertices and for its face flags (the indices follow the flags).
struct MeshRoom {
    size_t vertices = 0;
    size_t flags = 0;
};

}  // namespace qwz
