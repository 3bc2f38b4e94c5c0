// The records a document holds. Circles, lines and arcs are carried as the
// bytes of the file; a polyline is taken apart only as far as its point list
// needs; mesh vertices and faces are what the mesh layouts encode.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace qwz {

struct CpunktF {  // one mesh vertex
    float x = 0, y = 0, z = 0;
    bool operator==(const CpunktF&) const = default;
};

struct CpunktD {  // one polyline point
    double x = 0, y = 0, z = 0;
};

// One four-cornered mesh face: its flag and the indices of its corners'
// vertices. The corners themselves are given by DefinicjaObiektu::Corner
// from the vertices, so that a face takes 20 bytes in memory, not 68.
struct CfaceF {
    uint8_t flag = 0;
    std::array<int32_t, 4> indices{};
};

struct CCircle { std::array<uint8_t, 56> bytes{}; };  // circle or light
struct CLine { std::array<uint8_t, 48> bytes{}; };
struct CArc { std::array<uint8_t, 72> bytes{}; };

struct CPoly {
    uint8_t flag = 0;
    std::array<uint8_t, 24> header{};
    std::vector<std::pair<CpunktD, double>> points;
};

// One name's records left in the bytes of the file they were read from:
// `count` records as the file lays them out (the layout a writer gives
// them too), `size` bytes from `bytes` on. A load for a single save leaves
// them there; the bytes must outlive the document.
struct RecordsInBytes {
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    uint32_t count = 0;
};

struct CuvF {  // UV of one face: per corner u then v
    struct Corner { float u = 0, v = 0; };
    std::array<Corner, 4> corners{};
};

struct FNormalsD { double x = 0, y = 0, z = 0; };

struct ksvType {  // a scaling-zone value and its zone flag (0 or 1)
    double value = 0;
    int32_t flag = 0;
};

using vcV = std::vector<CpunktF>;
using vcF = std::vector<CfaceF>;
using vcCircle = std::vector<CCircle>;
using vcLine = std::vector<CLine>;
using vcPoly = std::vector<CPoly>;
using vcArc = std::vector<CArc>;
using vcFN = std::vector<FNormalsD>;
using vcUV = std::vector<CuvF>;
using VUVtype = std::vector<vcUV>;

}  // namespace qwz
