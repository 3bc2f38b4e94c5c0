// Test-only: the format layer's reads and writes with the geometry object's
// own meshes, their warnings sent on as the programs send them (each debug
// line, and the box of a boxed warning right after its line), so that a
// test can hold them against the exact lines and boxes the programs give.
#pragma once

#include "format/MeshGroup204.h"
#include "format/QuantisedMeshes.h"
#include "model/MeshSource.h"
#include "model/Warnings.h"
#include "platform/DebugOutput.h"
#include "platform/MessageBox.h"

namespace qwz::test {

inline void Replay(const Warnings& warnings) {
    for (const Warning& w : warnings) {
        platform::DebugOutputW(w.debugLine);
        if (w.boxed) platform::ShowMessage(w.debugLine, "Velmora QWZ Downgrader", platform::MessageIcon::Warning);
    }
}

// A version's writer (VersionLayout::write) with `meshes`, or the
// document's own meshes.
using Writer = double (*)(DocumentContent&, ByteWriter&, const TQWZSaveParams&, const MeshSource&, Warnings&);
inline void WriteReported(Writer write, DocumentContent& doc, ByteWriter& out, const TQWZSaveParams& params,
                          const MeshSource* meshes = nullptr) {
    Warnings warnings;
    const MeshesInMemory own(*doc.GetDefinition());
    try {
        write(doc, out, params, meshes ? *meshes : own, warnings);
    } catch (...) {
        Replay(warnings);
        throw;
    }
    Replay(warnings);
}

inline void WriteMeshes204(const DefinicjaObiektu& def, ByteWriter& out) {
    Warnings warnings;
    WriteMeshGroup204(def, MeshesInMemory(def), out, warnings);
    Replay(warnings);
}

inline uint64_t Meshes204Size(const DefinicjaObiektu& def) { return MeshGroup204Size(def, MeshesInMemory(def)); }

// The mesh group read with every mesh built.
inline void ReadMeshes204(DefinicjaObiektu& def, ByteReader& in) {
    ReadResult result;
    ReadMeshGroup204(def, in, ReadOptions{}, result);
}

// Read options that leave the meshes in the bytes read.
inline ReadOptions LeaveInBytes() {
    ReadOptions options;
    options.meshes = ReadOptions::Meshes::LeaveInBytes;
    return options;
}

}  // namespace qwz::test
