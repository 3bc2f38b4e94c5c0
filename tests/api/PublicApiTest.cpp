// The library as another program sees it: only the public headers, on
// files built here. What the programs already test of the conversion
// itself is not repeated; this holds the translation to the public types,
// and that the library keeps quiet.
#include <qwz/Check.h>
#include <qwz/Convert.h>
#include <qwz/Document.h>
#include <qwz/Log.h>
#include <qwz/Restore.h>

#include "support/RichSample204.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

namespace fs = std::filesystem;
namespace api = qwz::api;
using qwz::test::Bytes;
using qwz::test::RichSample204;
using qwz::test::TempDir;

// The rich sample with a face that names vertex 7 of a mesh of three.
std::vector<uint8_t> WithABadFaceIndex() {
    RichSample204 s;
    s.meshes = Bytes();
    s.meshes.i32(1).name("zła").i32(0).i32(3);
    for (int v = 0; v < 9; ++v) s.meshes.f32(float(v));
    s.meshes.i32(1).u8(0).u8(0).u8(1).u8(7).u8(2);
    return s.File();
}

TEST(PublicApi, ConvertsChecksAndRestoresThroughItsOwnTypes) {
    TempDir dir;
    const std::vector<uint8_t> original = RichSample204().File();
    const fs::path file = dir.write("hala.qwz", original);
    const api::CheckResult sound = api::Check(file);
    EXPECT_EQ(sound.status, api::CheckStatus::Sound) << sound.reason;
    EXPECT_EQ(sound.version, 204);
    EXPECT_EQ(sound.code, "readable");

    api::ConvertRequest request;
    request.target = 203;
    request.keep.lines = false;
    request.dryRun = true;
    api::ConvertResult planned = api::Convert(file, request);
    EXPECT_EQ(planned.status, api::ConvertStatus::Converted) << planned.reason;
    EXPECT_EQ(TempDir::read(file), original);
    EXPECT_FALSE(fs::exists(dir.path() / "hala_org.qwz"));

    request.dryRun = false;
    const api::ConvertResult done = api::Convert(file, request);
    ASSERT_EQ(done.status, api::ConvertStatus::Converted) << done.reason;
    EXPECT_EQ(done.code, "converted");
    EXPECT_EQ(done.fromVersion, 204);
    EXPECT_EQ(done.toVersion, 203);
    EXPECT_EQ(done.sizeBefore, original.size());
    EXPECT_EQ(done.sizeAfter, fs::file_size(file));
    EXPECT_EQ(done.backup, dir.path() / "hala_org.qwz");
    EXPECT_EQ(TempDir::read(done.backup), original);
    ASSERT_EQ(done.dropped.size(), 1u);  // 203 keeps the extra data
    EXPECT_EQ(done.dropped[0].kind, "lines");
    EXPECT_EQ(done.dropped[0].names, 1u);
    EXPECT_EQ(done.dropped[0].records, 1u);

    api::Document converted;
    ASSERT_EQ(converted.Read(file).status, api::CheckStatus::Sound);
    EXPECT_EQ(converted.Describe().version, 203);
    EXPECT_TRUE(converted.Describe().lines.empty());
    EXPECT_EQ(converted.Describe().circles.size(), 2u);

    const api::RestoreResult restored = api::Restore(file);
    EXPECT_EQ(restored.status, api::RestoreStatus::Restored) << restored.reason;
    EXPECT_EQ(restored.code, "restored");
    EXPECT_EQ(restored.file, file);
    EXPECT_EQ(TempDir::read(file), original);
    EXPECT_EQ(api::Restore(file).status, api::RestoreStatus::Skipped);

    request.target = 204;
    request.keep = {};
    const api::ConvertResult skipped = api::Convert(file, request);
    EXPECT_EQ(skipped.status, api::ConvertStatus::Skipped);
    EXPECT_EQ(skipped.code, "up-to-date");
    EXPECT_FALSE(skipped.reason.empty());

    // A target the version table cannot write is refused with its code.
    request.target = 201;
    const api::ConvertResult refused = api::Convert(file, request);
    EXPECT_EQ(refused.status, api::ConvertStatus::Failed);
    EXPECT_EQ(refused.code, "unsupported-target");
    EXPECT_EQ(TempDir::read(file), original);
}

// The largest change of a vertex coordinate, worked out by hand (stored: the
// product truncated toward zero; read: the nearest float32, moved up where
// that gives a lower integer). 204, scale 1000 (extent 12.5): 1.2349f =
// 1.2348999977111816 is stored as 1234, which reads as 1.2340000867843628
// (1.2339999675750732, the nearest, gives 1233). 203, scale 3: 10000 reads as
// 3333.33349609375 (3333.333251953125 gives 9999); extent 3333.33, scale 1:
// stored and read as 3333. With `pad`, three more meshes of that many
// vertices at the origin make the writer look values up.
TEST(PublicApi, TellsTheLargestChangeOfAVertexCoordinate) {
    const double moved204 = 1.2348999977111816 - 1.2340000867843628, moved203 = 3333.33349609375 - 3333;
    const struct { int from, target; bool keepLines; double change; } rows[] = {
        {204, 203, true, moved204}, {204, 202, true, moved204}, {204, 204, false, 0},
        {203, 202, true, moved203}, {203, 203, false, moved203}};
    TempDir dir;
    for (const auto& row : rows)
        for (unsigned pad : {0u, 22000u}) {
            SCOPED_TRACE(std::to_string(row.from) + " -> " + std::to_string(row.target) + ", " + std::to_string(pad));
            const int meshes = pad ? 4 : 1;
            Bytes b;
            b.magic(unsigned(row.from)).zeros(row.from == 204 ? 12 : 6);  // the reference point
            b.i32(0).i32(1).name("L").i32(0).i32(0).i32(0).i32(0);  // one name of lines, no records
            if (row.from == 204) {
                b.i32(meshes).name("M").i32(-1).i32(1).f32(1.2349f).f32(-0.0015f).f32(12.5f).i32(1).zeros(5);
                for (int m = 1; m < meshes; ++m) b.name("P").i32(-1).i32(int32_t(pad)).zeros(12 * pad).i32(0);
            } else {
                b.f32(3).zeros(12).i32(meshes).name("M").i32(-1).zeros(57).i16(1).i16(1);
                b.u24(1).i16(10000).zeros(4).u24(1).zeros(13);
                for (int m = 1; m < meshes; ++m)
                    b.name("P").i32(-1).zeros(57).i16(1).i16(1).u24(pad).zeros(6 * pad).u24(0);
            }
            api::ConvertRequest request{row.target, {}, true, true};  // a dry run
            request.keep.lines = row.keepLines;
            const api::ConvertResult r = api::Convert(dir.write("a.qwz", b.vec()), request);
            ASSERT_EQ(r.status, api::ConvertStatus::Converted) << r.reason;
            EXPECT_DOUBLE_EQ(r.maxVertexError, row.change);
        }
}

TEST(PublicApi, WhatIsNoSoundFileIsToldApart) {
    TempDir dir;
    const fs::path junk = dir.write("junk.qwz", {'P', 'K', 3, 4});
    const std::vector<uint8_t> whole = RichSample204().File();
    const fs::path cut = dir.write("cut.qwz", std::vector<uint8_t>(whole.begin(), whole.begin() + 60));
    struct Row {
        fs::path path;
        api::CheckStatus status;
        const char* reason;  // nullptr: any, but one
    };
    std::vector<Row> rows = {
        {dir.path() / "brak.qwz", api::CheckStatus::NoFile, "plik nie istnieje"},
        {dir.path(), api::CheckStatus::NoFile, "to nie jest zwykły plik"},
        {junk, api::CheckStatus::Damaged, "to nie jest plik QWZ (brak znacznika \"QWZ\" na początku)"},
        {cut, api::CheckStatus::Damaged, nullptr},
    };
#ifndef _WIN32
    const fs::path fifo = dir.path() / "kolejka.qwz";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    rows.push_back({fifo, api::CheckStatus::NoFile, "to nie jest zwykły plik"});
    rows.push_back({"/dev/zero", api::CheckStatus::NoFile, "to nie jest zwykły plik"});
#endif
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path.string());
        const api::CheckResult r = api::Check(row.path);
        EXPECT_EQ(r.status, row.status);
        if (row.reason) {
            EXPECT_EQ(r.reason, row.reason);
        }
        EXPECT_FALSE(r.reason.empty());
        api::Document doc;
        EXPECT_EQ(doc.Read(row.path).status, row.status);
        EXPECT_TRUE(doc.Empty());
        EXPECT_EQ(api::Convert(row.path).status, api::ConvertStatus::Failed);
    }
    const api::CheckResult damaged = api::Check(cut);
    EXPECT_TRUE(damaged.hasOffset);
    EXPECT_LE(damaged.offset, 60u);
    EXPECT_FALSE(damaged.field.empty());
}

TEST(PublicApi, ADocumentIsWrittenInEveryVersionTheLibraryWrites) {
    const std::vector<uint8_t> bytes = RichSample204().File();
    for (int version : {204, 203, 202}) {
        SCOPED_TRACE(version);
        api::Document doc;
        ASSERT_EQ(doc.Read(bytes.data(), bytes.size()).status, api::CheckStatus::Sound);
        api::Keep keep;
        keep.arcs = false;
        const std::vector<uint8_t> written = doc.Encode(version, keep);
        api::Document back;
        ASSERT_EQ(back.Read(written.data(), written.size()).status, api::CheckStatus::Sound);
        const api::Contents c = back.Describe();
        EXPECT_EQ(c.version, version);
        EXPECT_TRUE(c.arcs.empty());
        EXPECT_EQ(c.polylines.size(), 1u);
        EXPECT_EQ(c.meshes.size(), 3u);
        EXPECT_EQ(c.tail.size(), version == 202 ? 0u : 4u);
    }
    api::Document doc;
    EXPECT_THROW(doc.Encode(203), api::Error);  // empty
    ASSERT_EQ(doc.Read(bytes.data(), bytes.size()).status, api::CheckStatus::Sound);
    EXPECT_THROW(doc.Encode(201), api::Error);
    EXPECT_THROW(doc.Encode(205), api::Error);
    TempDir dir;
    EXPECT_THROW(doc.Write(dir.path() / "brak" / "x.qwz", 203), api::Error);
    doc.Write(dir.path() / "x.qwz", 203);
    EXPECT_EQ(api::Check(dir.path() / "x.qwz").version, 203);
}

// What the engine says on the debug output (a face index that names no
// vertex) reaches neither standard stream; a log function gets it, and
// the call's own result keeps it.
TEST(PublicApi, SaysNothingUnlessAsked) {
    TempDir dir;
    const std::vector<uint8_t> bad = WithABadFaceIndex();
    api::ConvertRequest request;
    request.target = 203;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const api::ConvertResult quiet = api::Convert(dir.write("a.qwz", bad), request);
    api::Document doc;
    doc.Read(bad.data(), bad.size());
    if (!doc.Empty()) (void)doc.Encode(204);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_FALSE(quiet.notes.empty()) << quiet.reason;

    std::mutex mutex;
    std::vector<std::string> logged;
    api::SetLog([&](std::string_view line) {
        std::lock_guard<std::mutex> lock(mutex);
        logged.emplace_back(line);
    });
    const api::ConvertResult told = api::Convert(dir.write("b.qwz", bad), request);
    api::SetLog(nullptr);
    EXPECT_EQ(told.status, quiet.status);
    EXPECT_FALSE(logged.empty());
    for (const std::string& note : told.notes)
        EXPECT_NE(std::find(logged.begin(), logged.end(), note), logged.end()) << note;
}

}  // namespace
