#include "app/ConvertFile.h"
#include "app/SampleFiles.h"
#include "format/Klasaqwz.h"
#include "platform/DebugOutput.h"
#include "platform/MessageBox.h"
#include "replace/TemporaryFile.h"
#include "support/FaultyFileOps.h"
#include "support/MemoryFileOps.h"
#include "support/OldLayoutSamples.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <set>

namespace qwz {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::Empty202;
using test::Empty203;
using test::FaultyFileOps;
using test::MemoryFileOps;
using test::Sample204;
using test::TempDir;

std::string U8(const fs::path& p) {
    std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
}

// The names in a folder and the bytes of a file, through any file system.
std::set<std::string> NamesIn(platform::FileOps& ops, const fs::path& folder) {
    std::vector<fs::path> names;
    EXPECT_TRUE(ops.ListFolder(folder, names));
    std::set<std::string> out;
    for (const fs::path& name : names) out.insert(U8(name.filename()));
    return out;
}
std::vector<uint8_t> BytesOf(platform::FileOps& ops, const fs::path& file) {
    std::vector<uint8_t> bytes;
    Reason error;
    EXPECT_TRUE(ops.ReadAll(file, bytes, error)) << error.str();
    return bytes;
}

TEST(BackupPath, TheExtensionFromTheLastDotOfTheNameIsReplaced) {
    EXPECT_EQ(replace::BackupPath("hall.qwz"), fs::path("hall_org.qwz"));
    EXPECT_EQ(replace::BackupPath("hall"), fs::path("hall_org.qwz"));
    EXPECT_EQ(replace::BackupPath("a.b.QWZ"), fs::path("a.b_org.qwz"));
    EXPECT_EQ(replace::BackupPath("hall."), fs::path("hall_org.qwz"));
    EXPECT_EQ(replace::BackupPath(".qwz"), fs::path("_org.qwz"));
    // a dot in a folder name does not count
    EXPECT_EQ(replace::BackupPath(fs::path("plans.v2") / "hall"), fs::path("plans.v2") / "hall_org.qwz");
    EXPECT_EQ(replace::BackupPath(fs::path(u8"ściana_żółta.qwz")), fs::path(u8"ściana_żółta_org.qwz"));
}

// Each test starts from the command line's save parameters, collects the
// debug lines and works in a folder of a file system in memory: the disk
// adds nothing to what is tested here.
class ConvertFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        disk.MakeFolder(dir);
        previous_ = platform::SetDebugSink(
            [this](std::string_view text, bool) { lines.emplace_back(text); });
    }
    void TearDown() override {
        platform::SetDebugSink(previous_);
    }

    // A conversion that failed: result 0, the file as it was, no new file, and
    // one debug line naming the file and the reason.
    void ExpectRefused(const fs::path& file, int target, const std::vector<uint8_t>& bytes,
                       const std::string& reasonPart) {
        std::set<std::string> before = Listing();
        lines.clear();
        EXPECT_EQ(Convert(file, target), kConversionFailed);
        EXPECT_NE(failure.find(reasonPart), std::string::npos)
            << failure;
        EXPECT_EQ(disk.Read(file), bytes);
        EXPECT_EQ(Listing(), before);
        // The version 204 writer's own summary line ("F: ...") is not the
        // conversion's.
        std::vector<std::string> own;
        for (const std::string& l : lines)
            if (l.rfind("F: ", 0) != 0) own.push_back(l);
        ASSERT_EQ(own.size(), 1u);
        EXPECT_EQ(own[0], "Nie przekonwertowano pliku \"" + U8(file) + "\": " + failure);
    }

    fs::path Put(const std::string& name, const std::vector<uint8_t>& bytes) { return disk.Put(dir / name, bytes); }
    // The result as ConvertFile gives it; the outcome's reason is kept.
    int Convert(const fs::path& file, int target, platform::FileOps& ops) {
        const ConversionOutcome outcome = ConvertAndReport(file, RequestFor(target, params), ops);
        failure = outcome.reason;
        wrote = outcome.toVersion;
        return ResultOf(outcome.status);
    }
    int Convert(const fs::path& file, int target) { return Convert(file, target, disk); }
    std::set<std::string> Listing() { return NamesIn(disk, dir); }

    MemoryFileOps disk;
    TQWZSaveParams params;  // the command line's
    std::string failure;    // the reason of the last conversion: why it failed or was skipped
    int wrote = 0;          // the version it says it wrote
    const fs::path dir = "/plans";
    std::vector<std::string> lines;

private:
    platform::DebugSink previous_;
};

TEST_F(ConvertFileTest, WhatIsNotAConvertibleFileIsLeftAlone) {
    fs::path missing = dir / "missing.qwz";
    EXPECT_EQ(Convert(missing, 203), kConversionFailed);
    EXPECT_EQ(failure, "plik nie istnieje");
    EXPECT_TRUE(Listing().empty());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "Nie przekonwertowano pliku \"" + U8(missing) + "\": plik nie istnieje");

    std::vector<uint8_t> noMagic = Bytes().u8('Q').u8('W').u8('X').u8(204).zeros(32);
    ExpectRefused(Put("nomagic.qwz", noMagic), 203, noMagic, "to nie jest plik QWZ");
    std::vector<uint8_t> tiny = Bytes().u8('Q').u8('W').u8('Z');
    ExpectRefused(Put("tiny.qwz", tiny), 203, tiny, "plik urwany na bajcie 3");
    lines.clear();
    disk.MakeFolder(dir / "folder.qwz");
    EXPECT_EQ(Convert(dir / "folder.qwz", 203), kConversionFailed);
    EXPECT_EQ(failure, "to nie jest zwykły plik");
    EXPECT_EQ(lines.size(), 1u);
}

TEST_F(ConvertFileTest, AnUnknownVersionIsAFailureNeverAnEmptiedFile) {
    // Above the target it would be written as an empty document; at or below
    // it, it would be called up to date.
    for (int version : {205, 255, 200, 7}) {
        SCOPED_TRACE(version);
        std::vector<uint8_t> bytes = Bytes().magic(unsigned(version)).zeros(40);
        fs::path file = Put("v" + std::to_string(version) + ".qwz", bytes);
        ExpectRefused(file, 203, bytes, "nieobsługiwana wersja formatu " + std::to_string(version));
    }
}

TEST_F(ConvertFileTest, ANegativeTargetNeverReachesTheWriter) {
    std::vector<uint8_t> bytes = Empty203();
    ExpectRefused(Put("a.qwz", bytes), -52, bytes,
                  "nieobsługiwana wersja docelowa -52 (zapisywane: 202, 203, 204)");
}

TEST_F(ConvertFileTest, AFileAlreadyInTheTargetVersionIsSkipped) {
    std::vector<uint8_t> bytes = Sample204();
    QWZ_REQUIRE_LAYOUTS(bytes, 204);
    fs::path file = Put("hall.qwz", bytes);
    // What a conversion killed after its last step left beside the file
    // goes all the same.
    disk.Put(replace::TemporaryNameBeside(file, 7), std::string("left"));
    EXPECT_EQ(Convert(file, 204), kSkipped);
    EXPECT_EQ(Convert(file, 250), kSkipped);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Plik \"" + U8(file) + "\" jest już w odpowiedniej wersji");
    EXPECT_EQ(disk.Read(file), bytes);
    EXPECT_EQ(Listing(), (std::set<std::string>{"hall.qwz"}));
    EXPECT_EQ(failure, "już w wersji 204, nic do zmiany");

    // Decided from the header alone: nothing after the version byte is read.
    const std::vector<uint8_t> cut = Bytes().magic(203).zeros(3);
    const fs::path header = Put("header.qwz", cut);
    EXPECT_EQ(Convert(header, 203), kSkipped);
    EXPECT_EQ(disk.Read(header), cut);
}

TEST_F(ConvertFileTest, DroppingContentRewritesTheFileAndKeepsTheOriginal) {
    std::vector<uint8_t> bytes = Sample204();
    QWZ_REQUIRE_LAYOUTS(bytes, 204);
    params.TargetVersion = 204;
    params.KeepLines = false;
    fs::path file = Put("hall.qwz", bytes);
    ASSERT_EQ(Convert(file, 204), kConverted) << failure;
    EXPECT_EQ(disk.Read(dir / "hall_org.qwz"), bytes);
    std::vector<uint8_t> now = disk.Read(file);
    KlasaQwz doc;
    ASSERT_EQ(doc.LoadBytes(now.data(), now.size()), 204);
    EXPECT_TRUE(doc.GetDefinition()->LineNames.empty());
    EXPECT_EQ(doc.GetDefinition()->MeshNames.size(), 1u);
    EXPECT_EQ(Listing(), (std::set<std::string>{"hall.qwz", "hall_org.qwz"}));

    // Without KeepOriginal: replaced, no backup.
    params.KeepOriginal = false;
    fs::path other = Put("other.qwz", bytes);
    ASSERT_EQ(Convert(other, 204), kConverted) << failure;
    EXPECT_EQ(disk.Read(other), now);
    EXPECT_EQ(disk.Examine(dir / "other_org.qwz", false, nullptr), platform::NameKind::Missing);

    // The longest name the file system takes converts too: the temporary
    // file's name does not grow with it.
    fs::path longest = Put(std::string(251, 'n') + ".qwz", bytes);
    ASSERT_EQ(Convert(longest, 204), kConverted) << failure;
    EXPECT_EQ(disk.Read(longest), now);
}

// The engine speaks to no one: what the readers and writers report comes
// back in the outcome, and the program's conversion writes it as the debug
// lines and the box it always has, in their order, before its own line.
TEST_F(ConvertFileTest, WarningsComeBackInTheOutcomeAndTheProgramTellsThem) {
    std::vector<uint8_t> bytes = Sample204(2);
    QWZ_REQUIRE_LAYOUTS(bytes, 204);
    bytes[bytes.size() - 1] = 9;  // the last face's last index names no vertex of four
    TQWZSaveParams params;
    params.TargetVersion = 204;
    params.KeepLines = false;
    std::vector<std::string> told;  // debug lines, and boxes as "box: TEXT"
    platform::SetDebugSink([&](std::string_view text, bool) { told.emplace_back(text); });
    const platform::MessageSink boxes = platform::SetMessageSink(
        [&](const std::string& text, const std::string&, platform::MessageIcon) { told.push_back("box: " + text); });

    ConversionRequest request;
    request.target = 204;
    request.params = params;
    const ConversionOutcome quiet = ConvertQwz(Put("quiet.qwz", bytes), request, disk);
    ASSERT_EQ(quiet.status, ConversionStatus::Converted) << quiet.reason;
    EXPECT_TRUE(told.empty()) << told.front();
    ASSERT_EQ(quiet.warnings.size(), 2u);
    EXPECT_EQ(quiet.warnings[0].kind, Warning::Kind::SaveSummary);
    EXPECT_EQ(quiet.warnings[0].debugLine, "F: 1, V: 1, Names: 1, Kol: 1");
    EXPECT_EQ(quiet.warnings[1].kind, Warning::Kind::BadFaceIndex);
    EXPECT_EQ(quiet.warnings[1].text, "indeks ściany 9 >= 4");

    const ConversionOutcome told204 = ConvertAndReport(Put("told.qwz", bytes), RequestFor(204, params), disk);
    EXPECT_EQ(told, (std::vector<std::string>{"F: 1, V: 1, Names: 1, Kol: 1", "9 >= 4", "box: 9 >= 4"}));
    // The window shows the box on its own thread: the conversion leaves it.
    told.clear();
    const ConversionOutcome left =
        ConvertAndReport(Put("left.qwz", bytes), RequestFor(204, params), disk, WarningBox::Leave);
    EXPECT_EQ(told, (std::vector<std::string>{"F: 1, V: 1, Names: 1, Kol: 1", "9 >= 4"}));
    EXPECT_EQ(WarningBoxText(left.warnings), "9 >= 4");
    platform::SetMessageSink(boxes);
    EXPECT_EQ(disk.Read(dir / "told.qwz"), disk.Read(dir / "quiet.qwz"));
}

TEST_F(ConvertFileTest, TheVersionWrittenIsTheLowerOfTheFilesAndTheTarget) {
    std::vector<uint8_t> bytes = Sample204();
    QWZ_REQUIRE_LAYOUTS(bytes, 202);
    // 202 is the oldest layout written: 201 and below come out as 202.
    for (int target : {203, 202, 201, 150}) {
        SCOPED_TRACE(target);
        fs::path file = Put(std::to_string(target) + ".qwz", bytes);
        ASSERT_EQ(Convert(file, target), kConverted) << failure;
        EXPECT_EQ(test::VersionOf(disk.Read(file)), std::max(target, 202));
        EXPECT_EQ(disk.Read(replace::BackupPath(file)), bytes);
    }
    // Never above the file's own version: a 203 file asked for 204 while
    // dropping lines stays 203.
    std::vector<uint8_t> v203 = Empty203();
    params.TargetVersion = 204;
    params.KeepLines = false;
    fs::path file = Put("old.qwz", v203);
    EXPECT_EQ(Convert(file, 204), kSkipped);  // nothing to drop
    EXPECT_EQ(disk.Read(file), v203);
}

// Any number after "-v" keeps its meaning, with the save parameters at their
// defaults: a file newer than the number is converted, the others are left;
// a number below the oldest layout written gives that layout (a 202 file is
// written again as 202), 0 the file's own, moved to 203 for what the own
// layout cannot hold.
TEST_F(ConvertFileTest, AnyCommandLineTargetConvertsEveryNewerFileAndLeavesTheRest) {
    const std::vector<uint8_t> v202 = Empty202();
    QWZ_REQUIRE_LAYOUTS(v202, 202);
    struct Row {
        int target;
        int result;
        std::vector<uint8_t> file;
        int written;
    };
    const std::vector<Row> rows = {
        {999, kSkipped, v202, 0},
        {204, kSkipped, v202, 0},
        {202, kSkipped, v202, 0},
        {201, kConverted, v202, 202},
        {150, kConverted, v202, 202},
        {0, kConverted, v202, 202},
        {0, kConverted, test::OldFileWithMeshes(202, {32768}), 203},
        {0, kConverted, test::OldFileWithMeshes(201, {32767, 40000}), 203},
        {0, kConverted, test::OldFileWithMeshes(201, {32767, 5}), 202},
    };
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        SCOPED_TRACE(testing::Message() << "row " << i << ", -v " << row.target);
        fs::path file = Put("old" + std::to_string(i) + ".qwz", row.file);
        ASSERT_EQ(Convert(file, row.target), row.result) << failure;
        if (row.result == kConverted) {
            EXPECT_EQ(test::VersionOf(disk.Read(file)), row.written);
            EXPECT_EQ(wrote, row.written);
            EXPECT_EQ(disk.Read(replace::BackupPath(file)), row.file);
            // What was written reads back with every mesh whole.
            KlasaQwz doc;
            const std::vector<uint8_t> written = disk.Read(file);
            ASSERT_EQ(doc.LoadBytes(written.data(), written.size()), row.written);
            KlasaQwz before;
            before.LoadBytes(row.file.data(), row.file.size());
            EXPECT_EQ(doc.GetDefinition()->Vertices, before.GetDefinition()->Vertices);
        } else {
            EXPECT_EQ(disk.Read(file), row.file);
        }
    }
}

TEST_F(ConvertFileTest, ATakenBackupNameIsAFailureThatChangesNothing) {
    std::vector<uint8_t> bytes = Sample204();
    QWZ_REQUIRE_LAYOUTS(bytes, 204);
    params.TargetVersion = 204;
    params.KeepLines = false;
    fs::path file = Put("hall.qwz", bytes);
    std::vector<uint8_t> earlier = Bytes().magic(204).zeros(20);
    Put("hall_org.qwz", earlier);
    ExpectRefused(file, 204, bytes, "już istnieje");
    EXPECT_EQ(disk.Read(dir / "hall_org.qwz"), earlier);
}

TEST_F(ConvertFileTest, ADamagedFileIsAFailureAndLeftUntouched) {
    std::vector<uint8_t> bytes = Sample204();
    QWZ_REQUIRE_LAYOUTS(bytes, 204);
    // cut inside the line record, inside the mesh's vertices, inside its indices
    for (size_t cut : {size_t(70), bytes.size() - 20, bytes.size() - 2}) {
        SCOPED_TRACE(cut);
        std::vector<uint8_t> part(bytes.begin(), bytes.begin() + long(cut));
        ExpectRefused(Put("cut" + std::to_string(cut) + ".qwz", part), 203, part, "na bajcie");
    }
}

TEST_F(ConvertFileTest, ADamagedExtraDataBlockIsAFailureNotASilentLoss) {
    // The file loads (the tail ends at the damaged block), but converting it
    // would drop the opaque block after it without a word.
    std::vector<uint8_t> bytes = Sample204();
    QWZ_REQUIRE_LAYOUTS(bytes, 204);
    const size_t at = bytes.size();
    const std::vector<uint8_t> damaged = {9, 0, 0, 0, 0, 7, 200, 1, 0, 0, 0, 0xEE};
    bytes.insert(bytes.end(), damaged.begin(), damaged.end());
    const fs::path file = Put("tail.qwz", bytes);
    EXPECT_EQ(Convert(file, 203), kConversionFailed);
    EXPECT_EQ(failure, "uszkodzony blok dodatkowych danych na bajcie " +
                                           std::to_string(at) + "; nie odczytano 12 bajtów do końca pliku");
    EXPECT_EQ(disk.Read(file), bytes);
    EXPECT_EQ(disk.Examine(replace::BackupPath(file), false, nullptr), platform::NameKind::Missing);
}

TEST_F(ConvertFileTest, AReadOnlyFileIsAFailureWithAReason) {
    std::vector<uint8_t> bytes = Sample204();
    QWZ_REQUIRE_LAYOUTS(bytes, 204);
    params.TargetVersion = 204;
    params.KeepLines = false;
    fs::path file = Put("hall.qwz", bytes);
    disk.SetReadOnly(file);
    ExpectRefused(file, 204, bytes, "tylko do odczytu");
}

// Every file-system step of one conversion is made to fail in turn. After
// each run the original is under its name byte for byte and nothing else is
// in the folder, or the conversion completed with a correct backup.
struct FaultRun {
    const char* name;
    int target;           // 204: the line group is dropped; 203: a downgrade
    bool keepOriginal;
    bool noLinks;         // a file system without hard links
    bool mapping = false; // files seen in place, not read: what is left to fail
};

class ConvertFileFaults : public ConvertFileTest, public ::testing::WithParamInterface<FaultRun> {};

TEST_P(ConvertFileFaults, EveryFileSystemStepFailingLeavesTheOriginalSafe) {
    const FaultRun c = GetParam();
    std::vector<uint8_t> bytes = Sample204();
    QWZ_REQUIRE_LAYOUTS(bytes, c.target);
    params.TargetVersion = c.target;
    params.KeepLines = false;
    params.KeepOriginal = c.keepOriginal;
    const std::set<std::string> converted =
        c.keepOriginal ? std::set<std::string>{"hall.qwz", "hall_org.qwz"}
                       : std::set<std::string>{"hall.qwz"};
    int points = 0;
    std::set<std::string> steps;
    for (int failAt = 1; failAt < 100; ++failAt) {
        // In memory, or on the disk where files are seen in place.
        MemoryFileOps memory;
        TempDir real;
        platform::FileOps& base = c.mapping ? platform::SystemFileOps() : memory;
        const fs::path folder = c.mapping ? real.path() : fs::path("/plans");
        const fs::path file = c.mapping ? real.write("hall.qwz", bytes) : memory.Put(folder / "hall.qwz", bytes);
        FaultyFileOps ops(failAt, base);
        ops.noLinks = c.noLinks;
        ops.mapping = c.mapping;
        ops.shortWrite = 64;  // several writes
        int result = Convert(file, c.target, ops);
        if (!ops.failed()) {
            ASSERT_EQ(result, kConverted) << failure;
            EXPECT_EQ(NamesIn(base, folder), converted);
            break;
        }
        ++points;
        steps.insert(ops.log()[size_t(failAt - 1)]);
        SCOPED_TRACE("failed step " + std::to_string(failAt) + " " + ops.log()[size_t(failAt - 1)]);
        if (result == kConverted) {
            std::vector<uint8_t> now = BytesOf(base, file);
            KlasaQwz doc;
            EXPECT_EQ(doc.LoadBytes(now.data(), now.size()), c.target);
            if (c.keepOriginal) {
                EXPECT_EQ(BytesOf(base, folder / "hall_org.qwz"), bytes);
            }
            EXPECT_EQ(NamesIn(base, folder), converted);
        } else {
            EXPECT_EQ(result, kConversionFailed);
            EXPECT_FALSE(failure.empty());
            EXPECT_EQ(BytesOf(base, file), bytes);
            EXPECT_EQ(NamesIn(base, folder), (std::set<std::string>{"hall.qwz"}));
        }
    }
    std::string names;
    for (const std::string& s : steps) names += " " + s;
    std::printf("[ faults   ] %s: %d injection points:%s\n", c.name, points, names.c_str());
    EXPECT_GE(points, c.keepOriginal ? 10 : 9);
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, ConvertFileFaults,
    ::testing::Values(FaultRun{"204 to 203, backup by link", 203, true, false},
                      FaultRun{"204 to 203, backup by rename", 203, true, true},
                      FaultRun{"204 to 203, no backup", 203, false, false},
                      FaultRun{"204 without lines, backup by link", 204, true, false},
                      FaultRun{"204 to 203, seen in place", 203, true, false, true}),
    [](const ::testing::TestParamInfo<FaultRun>& info) {
        const FaultRun& c = info.param;
        return "To" + std::to_string(c.target) +
               (c.keepOriginal ? (c.noLinks ? "RenameBackup" : "LinkBackup") : "NoBackup") +
               (c.mapping ? "SeenInPlace" : "");
    });

}  // namespace
}  // namespace qwz
