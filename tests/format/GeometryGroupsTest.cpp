#include "format/GeometryGroups.h"

#include "model/KeepFlags.h"
#include "support/Bytes.h"

#include <gtest/gtest.h>

namespace qwz {
namespace {

using test::Bytes;

std::vector<uint8_t> Write(const DefinicjaObiektu& def, const TQWZSaveParams& params = {}) {
    std::vector<uint8_t> out;
    ByteWriter w(out);
    WriteGeometryGroups(def, w, params);
    return out;
}

TEST(GeometryGroups, RecordsAndPolylinePointsRoundTrip) {
    DefinicjaObiektu def;
    def.CircleGroup().Resize(1);
    def.Circles[0].resize(1);
    def.Circles[0][0].bytes[55] = 0x5A;
    def.PolyGroup().Resize(2);
    def.PolyNames = {"p", "pusta"};
    def.PolyAttributes = {-5, 6};
    CPoly poly;
    poly.flag = 3;
    poly.header[23] = 0x77;
    poly.points = {{{1, 2, 3}, 4}, {{-1, -2, -3}, -4}};
    def.Polys[0] = {poly, CPoly{}};  // the second one has no points: 29 bytes

    const std::vector<uint8_t> bytes = Write(def);
    Bytes polyBytes;
    polyBytes.i32(2).name("p").i32(-5).i32(2);
    polyBytes.i32(2).u8(3).zeros(23).u8(0x77).f64(1).f64(2).f64(3).f64(4).f64(-1).f64(-2)
        .f64(-3).f64(-4);
    polyBytes.i32(0).u8(0).zeros(24);
    polyBytes.name("pusta").i32(6).i32(0);
    const std::vector<uint8_t> expected = Bytes()
        .i32(1).name("").i32(0).i32(1).zeros(55).u8(0x5A)
        .i32(0).raw(polyBytes).i32(0).vec();
    ASSERT_EQ(bytes, expected);

    DefinicjaObiektu back;
    ByteReader in(bytes.data(), bytes.size());
    ReadGeometryGroups(back, in);
    EXPECT_EQ(back.Circles[0][0].bytes, def.Circles[0][0].bytes);
    EXPECT_EQ(back.PolyNames, def.PolyNames);
    EXPECT_EQ(back.PolyAttributes, def.PolyAttributes);
    ASSERT_EQ(back.Polys[0].size(), 2u);
    EXPECT_EQ(back.Polys[0][0].header, poly.header);
    EXPECT_EQ(back.Polys[0][0].points[1].first.z, -3.0);
    EXPECT_TRUE(back.Polys[0][1].points.empty());
}

// Groups of every kind, one list of circles large enough to be carried
// rather than copied by a writer that hands its bytes over in parts.
DefinicjaObiektu& RichGroups(DefinicjaObiektu& def) {
    def.CircleGroup().Resize(2);
    def.CircleNames = {"o", "wiele"};
    def.Circles[1].resize(20000);
    for (size_t k = 0; k < def.Circles[1].size(); ++k) def.Circles[1][k].bytes[k % 56] = uint8_t(k);
    def.LineGroup().Resize(1);
    def.Lines[0].resize(3);
    def.Lines[0][2].bytes[47] = 9;
    def.PolyGroup().Resize(3);
    def.PolyAttributes = {1, -2, 3};
    for (int k = 0; k < 4; ++k) {
        CPoly poly;
        poly.flag = uint8_t(k);
        poly.header[size_t(k)] = 0x40;
        for (int p = 0; p < k * 3; ++p) poly.points.push_back({{p * 1.5, -p * 0.25, 1e300}, -p / 3.0});
        def.Polys[size_t(k % 2) * 2].push_back(poly);
    }
    def.ArcGroup().Resize(1);
    def.Arcs[0].resize(2);
    def.Arcs[0][1].bytes[0] = 0xA5;
    return def;
}

// Written by a writer that hands its bytes over in parts, as a conversion's.
std::vector<uint8_t> WriteInParts(const DefinicjaObiektu& def, const TQWZSaveParams& params) {
    std::vector<uint8_t> file, stage;
    ByteWriter out(stage, [&](const uint8_t* data, size_t size) { file.insert(file.end(), data, data + size); });
    WriteGeometryGroups(def, out, params);
    out.flush();
    return file;
}

// Records left in the bytes read are written as the decoded ones are, with
// every group kept or dropped, and counted the same; a walk that checks
// the bytes keeps the names and attributes and no record.
TEST(GeometryGroups, RecordsLeftInTheBytesWriteAndCountAsDecodedOnes) {
    DefinicjaObiektu built;
    const std::vector<uint8_t> bytes = Write(RichGroups(built));
    DefinicjaObiektu decoded, left, walked;
    for (auto [def, how] : {std::pair{&decoded, ReadOptions::Meshes::Build},
                            std::pair{&left, ReadOptions::Meshes::LeaveInBytes},
                            std::pair{&walked, ReadOptions::Meshes::NamesOnly}}) {
        ByteReader in(bytes.data(), bytes.size());
        ReadGeometryGroups(*def, in, how);
        EXPECT_TRUE(in.atEnd());
    }
    EXPECT_TRUE(left.RecordsInBytesLeft());
    EXPECT_FALSE(decoded.RecordsInBytesLeft() || walked.RecordsInBytesLeft());
    EXPECT_EQ(GeometryGroupsSize(left), bytes.size());
    EXPECT_TRUE(WriteInParts(left, {}) == bytes);
    for (const KeepFlag& flag : kKeepFlags) {
        if (flag.kind != KeepKind::Group) continue;
        TQWZSaveParams params;
        params.*flag.member = false;
        EXPECT_TRUE(WriteInParts(left, params) == Write(decoded, params)) << flag.dropName;
        EXPECT_EQ(flag.groupSize(left).records, flag.groupSize(decoded).records) << flag.dropName;
        EXPECT_EQ(flag.groupSize(walked).names, flag.groupSize(decoded).names) << flag.dropName;
        EXPECT_EQ(flag.groupSize(walked).records, 0u) << flag.dropName;
    }
    EXPECT_EQ(walked.CircleNames, decoded.CircleNames);
    EXPECT_EQ(walked.PolyAttributes, decoded.PolyAttributes);
    EXPECT_EQ(decoded.Polys[2][1].points[5].first.z, 1e300);
}

TEST(GeometryGroups, DataEndingAtAGroupCountReadsTheRestAsEmpty) {
    const std::vector<uint8_t> bytes = Bytes().i32(1).name("o").i32(2).i32(0);
    DefinicjaObiektu def;
    def.LineGroup().Resize(3);  // not what the reader leaves
    ByteReader in(bytes.data(), bytes.size());
    ReadGeometryGroups(def, in);
    EXPECT_EQ(def.CircleNames, std::vector<std::string>{"o"});
    EXPECT_TRUE(def.LineNames.empty() && def.PolyNames.empty() && def.ArcNames.empty());

    // Ending right after a polyline of many points: each point needs 32 bytes.
    Bytes polys;
    polys.i32(0).i32(0).i32(1).name("p").i32(0).i32(1).i32(10).u8(1).zeros(24);
    for (int k = 0; k < 10; ++k) polys.f64(k).f64(k).f64(k).f64(k);
    DefinicjaObiektu withPoly;
    ByteReader polyIn(polys.vec().data(), polys.size());
    ReadGeometryGroups(withPoly, polyIn);
    ASSERT_EQ(withPoly.Polys.size(), 1u);
    EXPECT_EQ(withPoly.Polys[0][0].points.size(), 10u);
    EXPECT_EQ(withPoly.Polys[0][0].points[9].second, 9.0);
}

TEST(GeometryGroups, CountsThatCannotFitAreMalformedAndCutsAreTruncated) {
    struct Case {
        std::vector<uint8_t> bytes;
        FormatError::Kind kind;
        size_t offset;
        const char* field;
    };
    const std::vector<Case> cases = {
        {Bytes().i32(1).name("o").i32(0).i32(1).zeros(55), FormatError::Kind::Malformed, 40,
         "liczba okręgów i świateł"},
        {Bytes().i32(1).name("o").i32(0).i32(-1), FormatError::Kind::Malformed, 40,
         "liczba okręgów i świateł"},
        {Bytes().i32(0).i32(0).i32(1).name("p").i32(0).i32(1).i32(1000).u8(0).zeros(24).zeros(32),
         FormatError::Kind::Malformed, 52, "liczba punktów polilinii"},
        {Bytes().i32(0).i32(0).i32(1).name("p").i32(0).i32(1).i32(2).u8(0).zeros(24).zeros(63),
         FormatError::Kind::Malformed, 52, "liczba punktów polilinii"},
        {Bytes().i32(0).i32(2).name("l").i32(0).i32(1).zeros(48).zeros(20),
         FormatError::Kind::Truncated, 96, "nazwa linii"},
        {Bytes().i32(0).u8(1), FormatError::Kind::Truncated, 4, "liczba nazw linii"},
    };
    // The same whether the records are decoded, left in the bytes or only
    // checked.
    for (const auto how : {ReadOptions::Meshes::Build, ReadOptions::Meshes::LeaveInBytes,
                           ReadOptions::Meshes::NamesOnly}) {
        for (const Case& c : cases) {
            DefinicjaObiektu def;
            ByteReader in(c.bytes.data(), c.bytes.size());
            try {
                ReadGeometryGroups(def, in, how);
                ADD_FAILURE() << c.field;
            } catch (const FormatError& e) {
                EXPECT_EQ(e.kind(), c.kind) << c.field;
                EXPECT_EQ(e.offset(), c.offset) << c.field;
                EXPECT_EQ(e.field(), c.field);
            }
        }
    }
}

}  // namespace
}  // namespace qwz
