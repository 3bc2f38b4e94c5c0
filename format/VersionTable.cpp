#include "format/VersionTable.h"

#include "bytes/FormatError.h"
#include "format/QuantisedMeshes.h"
#include "format/Version201.h"
#include "format/Version202.h"
#include "format/Version203.h"
#include "format/Version204.h"

namespace qwz {
namespace {

constexpr uint32_t kMaxPerMesh204 = 0x7FFFFFFF;  // int32 counts

// Oldest first. Version 201 shares the mesh group of 202.
constexpr VersionLayout kVersions[] = {
    // version, reader, writer, tail, int16 vertices, most per mesh
    {201, ReadVersion201, nullptr, false, true, kMeshes202.maxPerMesh},
    {202, ReadVersion202, WriteVersion202, false, true, kMeshes202.maxPerMesh},
    {203, ReadVersion203, WriteVersion203, true, true, kMeshes203.maxPerMesh},
    {204, ReadVersion204, WriteVersion204, true, false, kMaxPerMesh204},
};

std::vector<int> VersionsWhere(bool (*has)(const VersionLayout&)) {
    std::vector<int> versions;
    for (const VersionLayout& layout : kVersions)
        if (has(layout)) versions.push_back(layout.version);
    return versions;
}

}  // namespace

const VersionLayout* FindVersion(int version) {
    for (const VersionLayout& layout : kVersions)
        if (layout.version == version) return &layout;
    return nullptr;
}

bool IsReadableVersion(int version) {
    const VersionLayout* layout = FindVersion(version);
    return layout && layout->read;
}

std::vector<int> ReadVersions() {
    return VersionsWhere([](const VersionLayout& layout) { return layout.read != nullptr; });
}

std::vector<int> WrittenVersions() {
    return VersionsWhere([](const VersionLayout& layout) { return layout.write != nullptr; });
}

const VersionLayout& WriterFor(int target) {
    const VersionLayout* chosen = nullptr;
    const VersionLayout* newest = nullptr;
    for (const VersionLayout& layout : kVersions) {
        if (!layout.write) continue;
        // The oldest writer, until one not above the target comes.
        if (!chosen || layout.version <= target) chosen = &layout;
        newest = &layout;
    }
    if (!newest || target > newest->version)
        throw FormatError(FormatError::Kind::Unwritable,
                          "nieobsługiwana wersja docelowa " + std::to_string(target) +
                              " (zapisywane: " + VersionListText(WrittenVersions()) + ")");
    return *chosen;
}

const VersionLayout* NextWriter(const VersionLayout& layout) {
    for (const VersionLayout& next : kVersions)
        if (next.version > layout.version && next.write) return &next;
    return nullptr;
}

bool Holds(const VersionLayout& layout, const DefinicjaObiektu& def, const MeshSource& meshes) {
    if (!layout.extraTail && !def.Containers.Empty()) return false;
    for (size_t i = 0; i < def.Faces.size(); ++i) {
        if (meshes.FaceCount(i) > layout.maxPerMesh) return false;
        if (i < def.Vertices.size() && meshes.VertexCount(i) > layout.maxPerMesh) return false;
    }
    return true;
}

std::string VersionListText(const std::vector<int>& versions, const char* last) {
    std::string text;
    for (size_t i = 0; i < versions.size(); ++i) {
        if (i > 0) text += i + 1 == versions.size() ? last : ", ";
        text += std::to_string(versions[i]);
    }
    return text;
}

}  // namespace qwz
