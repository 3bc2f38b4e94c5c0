#include "model/Downgrade.h"

#include "bytes/FormatError.h"
#include "model/KeepFlags.h"
#include "platform/Parallel.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#if defined(__SSE__) || defined(_M_X64)
#include <emmintrin.h>
#endif
#include <vector>

namespace qwz {
namespace {

constexpr double kUpperBound = 32000.0;  // E * scale must not exceed this
constexpr double kLowerBound = 3200.0;   // and should lie above this
// The search normally ends in a few steps; a float32 scale cannot take more
// distinct powers of ten than this, so reaching it means it is going round.
constexpr size_t kMaxScaleSteps = 200;

// Vertices and faces of every mesh: how much work a pass over the
// document's meshes is.
uint64_t MeshWork(const DefinicjaObiektu& def, const MeshSource& meshes) {
    uint64_t work = 0;
    for (size_t m = 0; m < def.Vertices.size(); ++m) work += meshes.VertexCount(m);
    for (size_t m = 0; m < def.Faces.size(); ++m) work += meshes.FaceCount(m);
    return work;
}

// The largest absolute coordinate of a mesh's vertices, and whether every
// one is finite.
struct VertexMeasure {
    float extent = 0.0f;
    bool finite = true;
};

VertexMeasure MeasureVertices(const vcV& vertices) {
    // The coordinates as one run of floats, four at a time where SSE is
    // at hand; the largest magnitude is the same in float as in double.
    static_assert(sizeof(CpunktF) == 3 * sizeof(float));
    const float* c = reinterpret_cast<const float*>(vertices.data());
    const size_t n = 3 * vertices.size();
    float extent = 0.0f;
    bool finite = true;
    size_t i = 0;
#if defined(__SSE__) || defined(_M_X64)
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    const __m128 largest = _mm_set1_ps(std::numeric_limits<float>::max());
    __m128 extents4 = _mm_setzero_ps(), finite4 = _mm_castsi128_ps(_mm_set1_epi32(-1));
    for (; i + 4 <= n; i += 4) {
        const __m128 a = _mm_and_ps(_mm_loadu_ps(c + i), magnitude);
        finite4 = _mm_and_ps(finite4, _mm_cmple_ps(a, largest));  // false for inf and NaN
        extents4 = _mm_max_ps(a, extents4);
    }
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, extents4);
    for (float lane : lanes) extent = lane > extent ? lane : extent;
    finite = _mm_movemask_ps(finite4) == 0xF;
#endif
    for (; i < n; ++i) {
        const float a = std::fabs(c[i]);
        finite &= a <= std::numeric_limits<float>::max();  // false for inf and NaN
        extent = a > extent ? a : extent;
    }
    return {extent, finite};
}

// The face corners of one mesh measured: the smallest and largest
// coordinate, and the box per axis. A value that is not a number never
// passes a comparison and changes nothing; of a zero and a negative zero,
// either may be kept.
struct CornerExtent {
    float smallest = 10000000.0f, largest = -10000000.0f;
    float boxMin[3] = {INFINITY, INFINITY, INFINITY};
    float boxMax[3] = {-INFINITY, -INFINITY, -INFINITY};
};

// The smallest and largest coordinate per axis of corners taken one at a
// time; a value that is not a number changes nothing.
struct CornerBounds {
    float low[3] = {INFINITY, INFINITY, INFINITY}, high[3] = {-INFINITY, -INFINITY, -INFINITY};

    // A vertex as a corner: shifted as Corner shifts it.
    void Take(const DefinicjaObiektu& def, CpunktF v) {
        if (def.CornersShifted) v.x -= def.CornerShift[0], v.y -= def.CornerShift[1], v.z -= def.CornerShift[2];
        Take(v.x, v.y, v.z);
    }
    void Take(float x, float y, float z) {
        const float c[3] = {x, y, z};
        for (int axis = 0; axis < 3; ++axis) {
            low[axis] = c[axis] < low[axis] ? c[axis] : low[axis];
            high[axis] = c[axis] > high[axis] ? c[axis] : high[axis];
        }
    }
    CornerExtent Extent() const {
        CornerExtent e;
        for (int axis = 0; axis < 3; ++axis) {
            e.boxMin[axis] = low[axis] < e.boxMin[axis] ? low[axis] : e.boxMin[axis];
            e.boxMax[axis] = high[axis] > e.boxMax[axis] ? high[axis] : e.boxMax[axis];
            e.smallest = low[axis] < e.smallest ? low[axis] : e.smallest;
            e.largest = high[axis] > e.largest ? high[axis] : e.largest;
        }
        return e;
    }
};

// A mesh's corners measured from the vertices its faces name (`named`,
// and the origin with `origin`), each once however many faces share it,
// rather than twelve coordinates fetched per face. The values are those of
// a pass over every corner; only the sign of a zero bound may differ, which
// nothing written depends on.
CornerExtent MeasureNamed(const DefinicjaObiektu& def, const vcV& vertices, const std::vector<uint8_t>& named,
                          bool origin) {
    CornerBounds bounds;
    for (size_t i = 0; i < vertices.size(); ++i)
        if (named[i]) bounds.Take(def, vertices[i]);
    if (origin) bounds.Take(0.0f, 0.0f, 0.0f);
    return bounds.Extent();
}

// The same from bounds measured where the vertices lie: the corner shift
// keeps the order of the coordinates, so the bounds of the shifted ones are
// the shifted bounds.
CornerExtent MeasureNamed(const DefinicjaObiektu& def, const VertexBounds& vertices, bool origin) {
    CornerBounds bounds;
    if (vertices.anyNamed) {
        bounds.Take(def, {vertices.namedLow[0], vertices.namedLow[1], vertices.namedLow[2]});
        bounds.Take(def, {vertices.namedHigh[0], vertices.namedHigh[1], vertices.namedHigh[2]});
    }
    if (origin) bounds.Take(0.0f, 0.0f, 0.0f);
    return bounds.Extent();
}

// One mesh measured: its corners (with the very first one, when it has a
// face) and, when asked for, its vertices.
struct MeshMeasure {
    CornerExtent corners;
    bool hasFace = false;
    CpunktF firstCorner;
    VertexMeasure vertices;
};

// A mesh the source does not hold: its corners measured from the vertices
// its faces name (read where they lie), its vertices where they lie when
// the file allows (else built, without faces).
MeshMeasure MeasureUnbuilt(const DefinicjaObiektu& def, const MeshSource& meshes, size_t m, bool vertices,
                           MeshScratch& scratch) {
    MeshMeasure measure;
    thread_local std::vector<uint8_t> named;
    int64_t firstIndex = -1;
    const bool origin = meshes.MarkNamed(m, named, firstIndex);
    measure.hasFace = meshes.FaceCount(m) > 0;
    CfaceF first;  // only its first index counts
    first.indices[0] = int32_t(uint32_t(firstIndex));
    VertexBounds bounds;
    if (meshes.Bounds(m, named, uint32_t(first.indices[0]), bounds)) {
        measure.corners = MeasureNamed(def, bounds, origin);
        if (measure.hasFace) {
            // The first corner as Corner gives it, from the one vertex.
            const vcV one = bounds.hasFirst ? vcV{bounds.first} : vcV{};
            first.indices[0] = bounds.hasFirst ? 0 : -1;
            measure.firstCorner = def.Corner(one, first, 0);
        }
        // The largest magnitude lies at a bound; the coordinates read are
        // finite (Bounds says so by answering).
        for (int axis = 0; axis < 3 && meshes.VertexCount(m) > 0; ++axis)
            for (const float v : {std::fabs(bounds.allLow[axis]), std::fabs(bounds.allHigh[axis])})
                measure.vertices.extent = v > measure.vertices.extent ? v : measure.vertices.extent;
        return measure;
    }
    const MeshView mesh(meshes, m, scratch, true);
    measure.corners = MeasureNamed(def, mesh.vertices(), named, origin);
    if (measure.hasFace) measure.firstCorner = def.Corner(mesh.vertices(), first, 0);
    if (vertices) measure.vertices = MeasureVertices(mesh.vertices());
    return measure;
}

// A mesh the source holds (or, without a vertex list, its faces alone):
// its corners from the vertices its faces name, and, when asked for, its
// vertices.
MeshMeasure MeasureHeld(const DefinicjaObiektu& def, const MeshSource& meshes, size_t m, bool vertices) {
    MeshMeasure measure;
    thread_local std::vector<uint8_t> named;
    int64_t firstIndex = -1;
    const bool origin = meshes.MarkNamed(m, named, firstIndex);
    const vcV& held = *meshes.HeldVertices(m);
    const vcF& faces = *meshes.HeldFaces(m);
    measure.corners = MeasureNamed(def, held, named, origin);
    measure.hasFace = !faces.empty();
    if (measure.hasFace) measure.firstCorner = def.Corner(held, faces.front(), 0);
    if (vertices) measure.vertices = MeasureVertices(held);
    return measure;
}

// Every mesh measured in one pass, in parallel: the face corners of the
// meshes that have a face list, the vertices of those that have a vertex
// list (with `vertices`). A mesh the source does not hold is built once for
// both, and told measured.
std::vector<MeshMeasure> MeasureMeshes(const DefinicjaObiektu& def, const MeshSource& meshes, bool vertices) {
    const size_t withFaces = def.Faces.size(), withVertices = def.Vertices.size();
    std::vector<MeshMeasure> measures(std::max(withFaces, withVertices));
    MeshScratch scratch;
    platform::ForEachInParallel(measures.size(), MeshWork(def, meshes), [&](size_t m) {
        MeshMeasure& measure = measures[m];
        if (m < withFaces) {
            measure = meshes.HeldFaces(m) ? MeasureHeld(def, meshes, m, vertices && m < withVertices)
                                          : MeasureUnbuilt(def, meshes, m, vertices, scratch);
            meshes.Measured(m);
        } else if (vertices) {
            measure.vertices = MeasureVertices(*meshes.HeldVertices(m));
        }
    });
    return measures;
}

// The face corners' smallest and largest coordinate over every mesh, with
// the comparisons a single pass over every corner makes, the box set on the
// way; so a NaN in the very first corner stays in the box, as it would in
// that pass, and no other NaN counts.
std::pair<double, double> CornerExtentOf(DefinicjaObiektu& def, const std::vector<MeshMeasure>& meshes) {
    float smallest = 10000000.0f, largest = -10000000.0f;
    bool first = true;
    for (const MeshMeasure& mesh : meshes) {
        if (!mesh.hasFace) continue;
        const CornerExtent& e = mesh.corners;
        if (first) {
            // The very first corner sets the box, whatever it holds.
            const CpunktF& c = mesh.firstCorner;
            def.BoxMin[0] = def.BoxMax[0] = c.x;
            def.BoxMin[1] = def.BoxMax[1] = c.y;
            def.BoxMin[2] = def.BoxMax[2] = c.z;
            first = false;
        }
        smallest = e.smallest < smallest ? e.smallest : smallest;
        largest = e.largest > largest ? e.largest : largest;
        for (int axis = 0; axis < 3; ++axis) {
            def.BoxMin[axis] = e.boxMin[axis] < def.BoxMin[axis] ? e.boxMin[axis] : def.BoxMin[axis];
            def.BoxMax[axis] = e.boxMax[axis] > def.BoxMax[axis] ? e.boxMax[axis] : def.BoxMax[axis];
        }
    }
    return {smallest, largest};
}

// The largest absolute vertex coordinate over every mesh; throws when one is
// not finite.
double VertexExtentOf(const std::vector<MeshMeasure>& meshes) {
    double extent = 0.0;
    for (const MeshMeasure& mesh : meshes) {
        if (!mesh.vertices.finite)
            throw FormatError(FormatError::Kind::Unwritable, "współrzędna wierzchołka nie jest liczbą skończoną");
        extent = std::max(extent, double(mesh.vertices.extent));
    }
    return extent;
}

// Steps a float32 scale by powers of ten until 3200 < e * scale <= 32000.
// In float32 the steps can go round for ever (x0.1 falls below 3200, x10
// rises above 32000 again); then the larger scale seen that keeps
// e * scale <= 32000 is taken, so that no coordinate overflows.
float SearchScale(double e) {
    std::vector<float> seen;
    float scale = 1.0f;
    while (seen.size() < kMaxScaleSteps && std::find(seen.begin(), seen.end(), scale) == seen.end()) {
        seen.push_back(scale);
        const double p = e * double(scale);
        if (p > kUpperBound) scale = float(double(scale) * 0.1);
        else if (p > kLowerBound) return scale;
        else scale = float(double(scale) * 10.0);
    }
    float best = 0.0f;
    for (float s : seen)
        if (e * double(s) <= kUpperBound && s > best) best = s;
    return best;
}

}  // namespace

bool NeedsConversion(const DocumentContent& doc, const TQWZSaveParams& params) {
    return NeedsConversion(doc, params, params.TargetVersion);
}

bool NeedsConversion(const DocumentContent& doc, const TQWZSaveParams& params, int target) {
    if (target < int(doc.Version)) return true;
    if (params.KeepsEverything()) return false;
    const DefinicjaObiektu& def = *doc.Definition;
    for (const KeepFlag& flag : kKeepFlags)
        if (flag.kind == KeepKind::Group && !(params.*flag.member) && flag.groupSize(def).names != 0) return true;
    if (params.KeepsAllExtra()) return false;
    for (const auto& [kind, blocks] : def.Containers)
        for (const TKontenerPtr& block : blocks)
            if (block && !block->IsKept(params)) return true;
    return false;
}

std::pair<double, double> ScanExtent(DocumentContent& doc) {
    return ScanExtent(doc, MeshesInMemory(*doc.GetDefinition()));
}

std::pair<double, double> ScanExtent(DocumentContent& doc, const MeshSource& meshes) {
    DefinicjaObiektu& def = *doc.GetDefinition();
    return CornerExtentOf(def, MeasureMeshes(def, meshes, false));
}

void PrepareDowngrade(DocumentContent& doc) { PrepareDowngrade(doc, MeshesInMemory(*doc.GetDefinition())); }

void PrepareDowngrade(DocumentContent& doc, const MeshSource& source) {
    DefinicjaObiektu& def = *doc.GetDefinition();
    if (def.Vertices.empty() || def.Faces.empty()) return;

    const std::vector<MeshMeasure> meshes = MeasureMeshes(def, source, true);
    const auto [smallest, largest] = CornerExtentOf(def, meshes);
    double e = std::max(std::fabs(smallest), std::fabs(largest));
    if (!std::isfinite(e))
        throw FormatError(FormatError::Kind::Unwritable,
                          "współrzędna narożnika ściany nie jest liczbą skończoną");
    // Every corner at the origin gives no extent to scale by, and meshes
    // without a single face give none either (the scan's start values would
    // crush every vertex to zero): measure the vertices instead, and take 1
    // when they are all at the origin too.
    const bool anyFace =
        std::any_of(meshes.begin(), meshes.end(), [](const MeshMeasure& mesh) { return mesh.hasFace; });
    if (e == 0.0 || !anyFace) e = VertexExtentOf(meshes);
    if (e == 0.0) e = 1.0;
    float scale = SearchScale(e);
    // The scale comes from the face corners, but every vertex is written.
    // Vertices beyond the corners (unused ones, or those of a version 201
    // file, whose corners were shifted by its reference point) must fit the
    // 16 bits as well: step down while one would not, rather than refuse the
    // file. Where everything fits, the scale stays as chosen.
    const double vertexExtent = VertexExtentOf(meshes);
    for (size_t step = 0; step < kMaxScaleSteps && vertexExtent * double(scale) >= 32768.0; ++step)
        scale = float(double(scale) * 0.1);
    doc.VertexScale = scale;

    if (!doc.Loaded) {
        for (int i = 0; i < 3; ++i) {
            doc.RefPoint[i] = 0.0f;
            doc.RefTenths[i] = 0;
            def.RefPoint[i] = 0.0f;
        }
        doc.Loaded = true;
    }
}

}  // namespace qwz
