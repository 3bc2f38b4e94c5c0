// How a file is read: an argument of the read, never a mode set on the
// document it fills. And what a read gives beside the content.
#pragma once

#include "model/MeshSource.h"
#include "model/Warnings.h"

#include <memory>

namespace qwz {

struct ReadOptions {
    enum class Meshes {
        Build,         // every mesh's vertex and face lists built, the group and UV records decoded
        LeaveInBytes,  // meshes (ReadResult::meshes), group records and UV records left in the
                       // bytes read, which must outlive them: for a document saved once
        NamesOnly,     // every section walked and every count held against the bytes, but
                       // no vertex, face, group or UV record kept: a read that checks a file
    };
    Meshes meshes = Meshes::Build;
    // The bytes are not needed after the read: the pages read past are given
    // back as it goes.
    bool giveBack = false;
    // With LeaveInBytes: told each range of a mesh's bytes that is read for
    // the moment (once it is measured, as it is written).
    BytesRead bytesRead;
};

struct ReadResult {
    // With ReadOptions::Meshes::LeaveInBytes, the meshes where they lie;
    // otherwise none (the geometry object holds them).
    std::shared_ptr<const MeshSource> meshes;
    Warnings warnings;
};

}  // namespace qwz
