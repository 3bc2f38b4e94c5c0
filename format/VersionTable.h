// The one table of file versions: which versions are read and which are
// written, the reader and writer of each, and what each layout holds. The
// document's load and save and every front end's list of versions read it;
// adding a version is a row here beside its reader and writer.
#pragma once

#include "bytes/ByteReader.h"
#include "bytes/ByteWriter.h"
#include "format/ReadOptions.h"
#include "model/Definicjaobiektu.h"
#include "model/DocumentContent.h"
#include "model/MeshSource.h"
#include "model/Qwzsaveparams.h"
#include "model/Warnings.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qwz {

struct VersionLayout {
    int version;
    // Fills the content from a whole file of this version, read as `options`
    // say; nullptr: not read.
    void (*read)(DocumentContent& doc, ByteReader& in, const ReadOptions& options, ReadResult& result);
    // Appends a whole file of this version (its version byte is `version`),
    // its meshes from `meshes`, and returns the largest change of a vertex
    // coordinate it makes; nullptr: not written.
    double (*write)(DocumentContent& doc, ByteWriter& out, const TQWZSaveParams& params, const MeshSource& meshes,
                  Warnings& warnings);
    bool extraTail;       // the extra-data tail (UV, scaling zones, other blocks) follows the meshes
    bool int16Vertices;   // vertices are int16 at a vertex scale, which a save chooses first
    uint32_t maxPerMesh;  // most vertices and most faces one mesh holds
};

// The row of `version`; nullptr when there is none.
const VersionLayout* FindVersion(int version);
bool IsReadableVersion(int version);
// The versions read, and those written, oldest first.
std::vector<int> ReadVersions();
std::vector<int> WrittenVersions();

// The layout a file for `target` is written in: the newest writer not above
// the target, and the oldest writer for a target below every writer (201 is
// written as 202). A target above the newest writer throws FormatError
// (Unwritable): it is never written as another version.
const VersionLayout& WriterFor(int target);
// The writer after `layout`; nullptr for the newest.
const VersionLayout* NextWriter(const VersionLayout& layout);

// Whether the layout holds the geometry object's extra-data blocks and the
// vertex and face counts of its meshes (as `meshes` gives them).
bool Holds(const VersionLayout& layout, const DefinicjaObiektu& def, const MeshSource& meshes);

// The versions as text, ", " between them and `last` before the last one:
// "202, 203, 204" or, with " albo ", "202, 203 albo 204".
std::string VersionListText(const std::vector<int>& versions, const char* last = ", ");

}  // namespace qwz
