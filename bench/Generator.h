// Builds realistic version 204 scenes for the benchmark and the bundled
// sample: grid meshes, every geometry kind, UV blocks of both kinds,
// scaling-zone blocks and an opaque block. Deterministic: the same size
// gives the same bytes.
#pragma once

#include "format/Klasaqwz.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qwz::bench {

struct SceneSize {
    std::vector<std::pair<uint32_t, uint32_t>> grids;  // mesh grids, columns x rows of vertices
    uint32_t namesPerKind = 10;
    uint32_t circles = 100, lines = 100, polylines = 50, arcs = 100;
    uint32_t pointsPerPolyline = 20;  // up to; varies per polyline
    uint32_t uvMeshes = 2;            // the smallest meshes get UV data
    uint32_t floatUvMeshes = 1;       // of those, the last ones in float32; the others 16-bit
    uint32_t zoneBlocks = 2;
    uint32_t opaqueBytes = 256;
};

// About 2.1 million vertices and faces in five meshes and thousands of
// records of each kind: the benchmark's file.
SceneSize LargeScene();
// About 2.1 million vertices and faces in 64 meshes of 32761 vertices, the
// largest that version 202 holds, with the records of LargeScene.
SceneSize SmallMeshScene();
// A few KB: the bundled sample.
SceneSize SampleScene();
// About 50 KB: the file a folder of many small files is made of.
SceneSize FolderFileScene();
// `meshes` meshes of 32761 vertices (the most version 202 holds in one mesh)
// and group records and UV data in step with them, so that the file grows
// in proportion to `meshes`: 4 give about 4.5 MB in version 204, 64 about
// 71 MB, 272 about 300 MB. Up to 255 meshes fit version 202.
SceneSize MeshCountScene(uint32_t meshes);
// `meshes` meshes of 100 x 100 vertices and the records of the small
// sample, whatever their number: a file of thousands of meshes (2,000 give
// about 460 MB in version 204) whose memory should not grow with them.
SceneSize ManyMeshScene(uint32_t meshes);

// Fills a new document with the scene.
void BuildScene(KlasaQwz& doc, const SceneSize& size);

struct SceneCounts {
    uint64_t vertices = 0, faces = 0, meshes = 0, records = 0, blocks = 0;
};
SceneCounts CountScene(KlasaQwz& doc);

// Writes the document's meshes as a version 201 file, byte by byte (the
// library reads that layout but has no writer for it): header with the
// reference point in tenths, `skippedRecords` records of the list that
// readers skip, the scale block, then the mesh group of version 202 with
// vertices quantised at the largest power-of-ten scale that keeps every
// coordinate within 32000. Returns the file's bytes. Throws
// std::runtime_error when a mesh or the mesh count does not fit.
std::vector<uint8_t> Version201Bytes(KlasaQwz& doc, uint32_t skippedRecords);

}  // namespace qwz::bench
