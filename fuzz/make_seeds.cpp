// Writes the seed corpora of the fuzz targets: a small file rich in every
// kind of content, built byte by byte, and the same document saved in each
// version the program writes. Usage: fuzz_seeds OUTPUT_DIR
#include "fuzz/FuzzQuiet.h"
#include "model/Klasaqwz.h"
#include "support/Bytes.h"

#include <filesystem>
#include <fstream>
#include <iostream>

namespace {

using qwz::test::Bytes;

Bytes Tail() {
    Bytes t;
    // UV, float coordinates: one group of one face.
    t.u8(5).i32(4 + 4 + 32).u32(0).u32(0).i32(1).i32(1);
    for (int c = 0; c < 4; ++c) t.f32(0.25f * c).f32(1 - 0.25f * c);
    // Scaling zones: three axes, zone lists of 2, 0 and 1 entries.
    t.u8(3).i32(55 + 8 * 3).i32(0);
    for (int a = 0; a < 6; ++a) t.f64(a * 1.5);
    t.u8(0x82).f64(1).f64(2).u8(0).u8(0x01).f64(3);
    // UV, 16-bit coordinates.
    t.u8(1).i32(4 + 4 + 16).u32(7).u32(9).i32(1).i32(1);
    for (int c = 0; c < 8; ++c) t.u16(c * 8000);
    // An opaque block.
    t.u8(200).i32(5).u8(1).u8(2).u8(3).u8(4).u8(5);
    return t;
}

Bytes File204() {
    Bytes b;
    b.magic(204).f32(12.37f).f32(-3.5f).f32(0.25f);
    b.i32(1).name("lights").i32(7).i32(1).fill(56, 0x11);     // circles and lights
    b.i32(2).name("lines").i32(-1).i32(2).fill(96, 0x22)      // lines
        .name("empty").i32(3).i32(0);
    b.i32(1).name("poly").i32(0).i32(1)                        // polylines
        .i32(2).u8(1).fill(24, 0x33).f64(1).f64(2).f64(3).f64(4).f64(5).f64(6).f64(7).f64(8);
    b.i32(1).name("arcs").i32(9).i32(1).fill(72, 0x44);       // arcs
    b.i32(2);                                                   // meshes
    b.name("box").i32(-1).i32(4);
    const float v[4][3] = {{0, 0, 0}, {10.5f, 0, 0}, {10.5f, 20.25f, 0}, {0, 20.25f, -3}};
    for (auto& p : v) b.f32(p[0]).f32(p[1]).f32(p[2]);
    b.i32(2).u8(3).u8(0).u8(0).u8(1).u8(2).u8(3).u8(2).u8(3).u8(0).u8(0);
    b.name("empty mesh").i32(5).i32(0).i32(0);
    b.raw(Tail());
    return b;
}

void Write(const std::filesystem::path& p, const std::vector<uint8_t>& bytes) {
    std::ofstream f(p, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: fuzz_seeds OUTPUT_DIR\n";
        return 2;
    }
    qwz::fuzz::Quiet();
    const std::filesystem::path out = argv[1];
    for (const char* dir : {"load", "load_save", "tail"}) std::filesystem::create_directories(out / dir);

    const std::vector<uint8_t> file204 = File204();
    std::vector<std::pair<int, std::vector<uint8_t>>> files = {{204, file204}};
    for (int version : {203, 202}) {
        qwz::KlasaQwz doc;
        doc.LoadBytes(file204.data(), file204.size());
        files.push_back({version, doc.SaveBytes(version, qwz::TQWZSaveParams())});
    }
    // A version 201 file: tenths, two skipped records, the scale block, one mesh.
    Bytes v201;
    v201.magic(201).i16(100).i16(-50).i16(0).i32(2).zeros(24).f32(10).zeros(12).u8(1)
        .name("old").i32(4).zeros(57).i16(1).i16(1).u16(3)
        .i16(120).i16(30).i16(10).i16(0).i16(0).i16(0).i16(-5).i16(7).i16(9)
        .u16(1).u8(2).u16(0).u16(1).u16(2).u16(2);
    files.push_back({201, v201.vec()});

    for (const auto& [version, bytes] : files) {
        const std::string name = "v" + std::to_string(version);
        Write(out / "load" / (name + ".qwz"), bytes);
        for (int target = 0; target < 3; ++target) {
            std::vector<uint8_t> seed = {uint8_t(target), 0x7F};
            seed.insert(seed.end(), bytes.begin(), bytes.end());
            Write(out / "load_save" / (name + "-to" + std::to_string(202 + target)), seed);
        }
    }
    Write(out / "tail" / "tail", Tail().vec());
    std::cout << "seeds written to " << out << "\n";
    return 0;
}
