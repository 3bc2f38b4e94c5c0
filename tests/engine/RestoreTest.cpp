// Putting kept backups back: one row per situation a folder can be in, each
// run as a dry run and then for real, with the folder compared before and
// after (on the file system in memory); then, on the real disk, with its
// locks, a second restore or conversion of the same file, or another
// program's write, forced into the middle of one.
#include "engine/Conversion.h"
#include "engine/Restore.h"
#include "replace/SafeReplace.h"
#include "replace/TemporaryFile.h"
#include "support/FaultyFileOps.h"
#include "support/MemoryFileOps.h"
#include "support/OldLayoutSamples.h"
#include "support/RichSample204.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>

namespace qwz {
namespace {

namespace fs = std::filesystem;
using test::FaultyFileOps;
using test::MemoryFileOps;
using test::TempDir;
using enum RestoreStatus;

// What a folder holds: each name with a regular file's content, "@folder",
// or "@link:TARGET". A row writes "@hard:NAME" for a second name of NAME.
using Folder = MemoryFileOps::Folder;

std::string Text(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

// What converting `original` to `target` writes, without what `dropped`
// names: the engine's own conversion, on a file system in memory (empty
// when it did not convert).
// Target 0: the file's own version.
std::string ConvertedFrom(const std::string& original, int target, std::vector<KeepMember> dropped = {}) {
    MemoryFileOps disk;
    disk.Make("/c", {{"f.qwz", original}});
    ConversionRequest request;
    request.target = target;
    request.ownVersion = target == 0;
    request.params.KeepOriginal = false;
    for (KeepMember member : dropped) request.params.*member = false;
    if (ConvertQwz("/c/f.qwz", request, disk).status != ConversionStatus::Converted) return {};
    return disk.Snapshot("/c").at("f.qwz");
}

const std::string kOriginal = Text(test::RichSample204().File());
const std::string kConverted = ConvertedFrom(kOriginal, 203);
// Saved in place after the conversion: one byte of the last block changed.
const std::string kEdited = [] {
    std::string edited = kConverted;
    if (!edited.empty()) edited.back() = char(edited.back() ^ 1);
    return edited;
}();
// What an earlier release kept beside a backup.
const std::string kRecord = "qwz-record 1\nsize 15\ndigest 0123456789abcdef\n";
// What a conversion of "a.qwz" stopped before its end leaves beside it.
const std::string kLeftover = replace::TemporaryNameBeside("a.qwz", 7).filename().string();
// A 202 file with a mesh its layout cannot hold, written again as 203 by a
// conversion to its own version.
const std::string kLarge202 = Text(test::OldFileWithMeshes(202, {32768}));

// The regular files of a folder on the disk.
Folder Snapshot(const fs::path& dir) {
    Folder f;
    for (const auto& e : fs::directory_iterator(dir)) {
        const std::vector<uint8_t> bytes = TempDir::read(e.path());
        f[e.path().filename().string()] = std::string(bytes.begin(), bytes.end());
    }
    return f;
}

struct Row {
    const char* name;
    Folder before;
    const char* given;   // the path restored, in the folder
    RestoreStatus status;
    StatusCode code;     // what became of it, for programs
    const char* file;    // the user's name in the result
    const char* backup;  // the backup in the result; "" none
    const char* says;    // part of the reason; "" when there is none
    Folder after;        // the folder after the real run
    bool keepNewer = false;
    const char* kept = "";  // where the newer file is kept; "" nowhere
};

const Row kRows[] = {
    {"the backup takes the converted file's name",
     {{"a.qwz", kConverted}, {"a_org.qwz", kOriginal}, {"b.qwz", "b"}},
     "a.qwz", Restored, StatusCode::Restored, "a.qwz", "a_org.qwz", "", {{"a.qwz", kOriginal}, {"b.qwz", "b"}}},
    // What the conversion kept and wrote is told from the two files alone.
    {"a conversion that dropped lines and circles",
     {{"a.qwz", ConvertedFrom(kOriginal, 204, {&TQWZSaveParams::KeepLines, &TQWZSaveParams::KeepCircles})},
      {"a_org.qwz", kOriginal}},
     "a.qwz", Restored, StatusCode::Restored, "a.qwz", "a_org.qwz", "", {{"a.qwz", kOriginal}}},
    {"a conversion that dropped UV data and scaling zones",
     {{"a.qwz", ConvertedFrom(kOriginal, 203, {&TQWZSaveParams::KeepUV, &TQWZSaveParams::KeepScalingZones})},
      {"a_org.qwz", kOriginal}},
     "a.qwz", Restored, StatusCode::Restored, "a.qwz", "a_org.qwz", "", {{"a.qwz", kOriginal}}},
    {"a conversion to 202, which has no extra data",
     {{"a.qwz", ConvertedFrom(kOriginal, 202, {&TQWZSaveParams::KeepArcs})}, {"a_org.qwz", kOriginal}},
     "a.qwz", Restored, StatusCode::Restored, "a.qwz", "a_org.qwz", "", {{"a.qwz", kOriginal}}},
    {"a conversion to the file's own version, which moved to 203",
     {{"a.qwz", ConvertedFrom(kLarge202, 0)}, {"a_org.qwz", kLarge202}},
     "a.qwz", Restored, StatusCode::Restored, "a.qwz", "a_org.qwz", "", {{"a.qwz", kLarge202}}},
    {"a conversion of another original",
     {{"a.qwz", ConvertedFrom(Text(test::Rich202()), 202, {&TQWZSaveParams::KeepLines})}, {"a_org.qwz", kOriginal}},
     "a.qwz", Failed, StatusCode::ChangedSinceConversion, "a.qwz", "a_org.qwz", "zmieniono po konwersji (ma ",
     {{"a.qwz", ConvertedFrom(Text(test::Rich202()), 202, {&TQWZSaveParams::KeepLines})}, {"a_org.qwz", kOriginal}}},
    {"a file that is no QWZ file", {{"a.qwz", "notatki"}, {"a_org.qwz", kOriginal}},
     "a.qwz", Failed, StatusCode::ChangedSinceConversion, "a.qwz", "a_org.qwz", "(nie jest plikiem QWZ, jaki zapisuje konwersja)",
     {{"a.qwz", "notatki"}, {"a_org.qwz", kOriginal}}},
    {"a backup that cannot be converted again", {{"a.qwz", kConverted}, {"a_org.qwz", "QWZ\xcc"}},
     "a.qwz", Failed, StatusCode::Damaged, "a.qwz", "a_org.qwz", "nie da się przekonwertować ponownie (",
     {{"a.qwz", kConverted}, {"a_org.qwz", "QWZ\xcc"}}},
    {"no backup beside the file", {{"a.qwz", kConverted}, {"b_org.qwz", kOriginal}},
     "a.qwz", Skipped, StatusCode::NoBackup, "a.qwz", "", "brak kopii zapasowej \"", {{"a.qwz", kConverted}, {"b_org.qwz", kOriginal}}},
    {"the backup name is a folder", {{"a.qwz", kConverted}, {"a_org.qwz", "@folder"}},
     "a.qwz", Failed, StatusCode::NotRegularFile, "a.qwz", "a_org.qwz", "jest folderem", {{"a.qwz", kConverted}, {"a_org.qwz", "@folder"}}},
    {"the backup name is a symbolic link",
     {{"a.qwz", kConverted}, {"a_org.qwz", "@link:other.qwz"}, {"other.qwz", kOriginal}},
     "a.qwz", Failed, StatusCode::NotRegularFile, "a.qwz", "a_org.qwz", "dowiązaniem symbolicznym",
     {{"a.qwz", kConverted}, {"a_org.qwz", "@link:other.qwz"}, {"other.qwz", kOriginal}}},
    {"a stopped conversion left a second name of the file",
     {{"a.qwz", kOriginal}, {"a_org.qwz", "@hard:a.qwz"}, {"a_org.qwz.txt", kRecord}},
     "a.qwz", Restored, StatusCode::Restored, "a.qwz", "a_org.qwz", "już jest oryginałem", {{"a.qwz", kOriginal}}},
    {"the file is missing and its backup is there", {{"a_org.qwz", kOriginal}},
     "a.qwz", Restored, StatusCode::Restored, "a.qwz", "a_org.qwz", "", {{"a.qwz", kOriginal}}},
    {"the path given is the backup", {{"a.qwz", kConverted}, {"a_org.qwz", kOriginal}},
     "a_org.qwz", Restored, StatusCode::Restored, "a.qwz", "a_org.qwz", "", {{"a.qwz", kOriginal}}},
    {"the backup given finds its file in another letter case",
     {{"A.QWZ", kConverted}, {"A_org.qwz", kOriginal}},
     "A_org.qwz", Restored, StatusCode::Restored, "A.QWZ", "A_org.qwz", "", {{"A.QWZ", kOriginal}}},
    {"a file named like a backup that has a backup of its own",
     {{"a.qwz", "a"}, {"a_org.qwz", kConverted}, {"a_org_org.qwz", kOriginal}},
     "a_org.qwz", Restored, StatusCode::Restored, "a_org.qwz", "a_org_org.qwz", "", {{"a.qwz", "a"}, {"a_org.qwz", kOriginal}}},
    // Earlier releases kept a record beside the backup: it goes with the
    // backup; a text file of that name that is not one is the user's.
    {"an earlier release's record goes with its backup",
     {{"a.qwz", kConverted}, {"a_org.qwz", kOriginal}, {"a_org.qwz.txt", kRecord}},
     "a.qwz", Restored, StatusCode::Restored, "a.qwz", "a_org.qwz", "", {{"a.qwz", kOriginal}}},
    {"a text file beside the backup that is no record stays",
     {{"a.qwz", kConverted}, {"a_org.qwz", kOriginal}, {"a_org.qwz.txt", "qwz-record 2\nnotatki"}},
     "a.qwz", Restored, StatusCode::Restored, "a.qwz", "a_org.qwz", "", {{"a.qwz", kOriginal}, {"a_org.qwz.txt", "qwz-record 2\nnotatki"}}},
    // Work saved under the user's name after the conversion exists nowhere
    // else: it is never discarded.
    {"the file was saved in place after the conversion",
     {{"a.qwz", kEdited}, {"a_org.qwz", kOriginal}, {"a_org.qwz.txt", kRecord}},
     "a.qwz", Failed, StatusCode::ChangedSinceConversion, "a.qwz", "a_org.qwz", "zmieniono po konwersji (ta sama wielkość, inna treść",
     {{"a.qwz", kEdited}, {"a_org.qwz", kOriginal}, {"a_org.qwz.txt", kRecord}}},
    {"the file was saved longer after the conversion",
     {{"a.qwz", kConverted + " and more"}, {"a_org.qwz", kOriginal}},
     "a_org.qwz", Failed, StatusCode::ChangedSinceConversion, "a.qwz", "a_org.qwz", ", konwersja kopii zapasowej daje ",
     {{"a.qwz", kConverted + " and more"}, {"a_org.qwz", kOriginal}}},
    {"the newer file kept beside", {{"a.qwz", kEdited}, {"a_org.qwz", kOriginal}, {"a_org.qwz.txt", kRecord}},
     "a.qwz", Restored, StatusCode::Restored, "a.qwz", "a_org.qwz", "zachowany jako \"",
     {{"a.qwz", kOriginal}, {"a (nowszy).qwz", kEdited}}, true, "a (nowszy).qwz"},
    {"the newer file kept under the first free name",
     {{"A.QWZ", kEdited}, {"A_org.qwz", kOriginal}, {"A (nowszy).QWZ", "x"}},
     "A.QWZ", Restored, StatusCode::Restored, "A.QWZ", "A_org.qwz", "zachowany jako \"",
     {{"A.QWZ", kOriginal}, {"A (nowszy).QWZ", "x"}, {"A (nowszy 2).QWZ", kEdited}}, true, "A (nowszy 2).QWZ"},
    {"nothing to keep when the file is the one written",
     {{"a.qwz", kConverted}, {"a_org.qwz", kOriginal}},
     "a.qwz", Restored, StatusCode::Restored, "a.qwz", "a_org.qwz", "", {{"a.qwz", kOriginal}}, true},
    // A stopped conversion's temporary file goes in any run that holds
    // the file.
    {"a stopped conversion's temporary file goes",
     {{"a.qwz", kEdited}, {"a_org.qwz", kOriginal}, {kLeftover, "x"}},
     "a.qwz", Failed, StatusCode::ChangedSinceConversion, "a.qwz", "a_org.qwz", "zmieniono po konwersji", {{"a.qwz", kEdited}, {"a_org.qwz", kOriginal}}},
};

TEST(Restore, EachSituationDecidedAlikeInADryRunAndForReal) {
    ASSERT_FALSE(kConverted.empty());
    for (const Row& row : kRows) {
        // A newer file is kept by a second name, or where the file system
        // has no links, by a move.
        for (const bool links : {true, false}) {
            if (!links && !row.keepNewer) continue;
            SCOPED_TRACE(std::string(row.name) + (links ? "" : ", without links"));
            MemoryFileOps disk;
            const fs::path dir = "/d";
            disk.Make(dir, row.before);
            disk.hardLinks = links;
            const Folder before = disk.Snapshot(dir);
            const fs::path given = dir / row.given;

            const RestoreResult dry = RestoreQwz(given, RestoreRequest{false, row.keepNewer}, disk);
            EXPECT_EQ(disk.Snapshot(dir), before) << "a dry run changed the folder";
            const RestoreResult real = RestoreQwz(given, RestoreRequest{true, row.keepNewer}, disk);
            for (const RestoreResult* r : {&dry, &real}) {
                EXPECT_EQ(r->status, row.status) << r->reason;
                EXPECT_EQ(r->code, row.code) << r->reason;
                EXPECT_EQ(r->file, dir / row.file);
                EXPECT_EQ(r->backup, *row.backup ? dir / row.backup : fs::path());
                EXPECT_EQ(r->kept, *row.kept ? dir / row.kept : fs::path());
                if (*row.says) EXPECT_NE(r->reason.find(row.says), std::string::npos) << r->reason;
                else EXPECT_EQ(r->reason, "");
            }
            EXPECT_EQ(disk.Snapshot(dir), row.after);
        }
    }
}

// Whichever step of a restore that keeps the newer file fails, the newer
// file and the original each still have a name, and the user's name is
// never left empty where the file system has links.
TEST(Restore, KeepingTheNewerFileLosesNothingWhateverStepFails) {
    for (int failAt = 1;; ++failAt) {
        SCOPED_TRACE(failAt);
        MemoryFileOps disk;
        disk.Make("/d", {{"a.qwz", kEdited}, {"a_org.qwz", kOriginal}, {"a_org.qwz.txt", kRecord}});
        FaultyFileOps ops(failAt, disk);
        const RestoreResult r = RestoreQwz("/d/a.qwz", RestoreRequest{true, true}, ops);
        const Folder after = disk.Snapshot("/d");
        std::multiset<std::string> contents;
        for (const auto& [name, bytes] : after) contents.insert(bytes);
        EXPECT_TRUE(contents.count(kEdited)) << r.reason;
        EXPECT_TRUE(contents.count(kOriginal)) << r.reason;
        EXPECT_TRUE(after.count("a.qwz")) << r.reason;
        if (r.status == Failed) {
            EXPECT_TRUE(r.kept.empty() || after.count(r.kept.filename().string())) << r.reason;
        }
        if (!ops.failed()) {
            EXPECT_EQ(r.status, Restored) << r.reason;
            EXPECT_EQ(after, (Folder{{"a.qwz", kOriginal}, {"a (nowszy).qwz", kEdited}}));
            break;
        }
    }
}

TEST(Restore, AReadOnlyFileIsRefusedAndKept) {
    MemoryFileOps disk;
    const Folder folder{{"a.qwz", kConverted}, {"a_org.qwz", kOriginal}, {"a_org.qwz.txt", kRecord}};
    disk.Make("/d", folder);
    disk.SetReadOnly("/d/a.qwz");
    const RestoreResult r = RestoreQwz("/d/a.qwz", true, disk);
    EXPECT_EQ(r.status, Failed);
    EXPECT_NE(r.reason.find("jest tylko do odczytu"), std::string::npos) << r.reason;
    EXPECT_EQ(disk.Snapshot("/d"), folder);
}

// A second restore, or a conversion, of the same file forced into the
// middle of a restore: after the first judged the backup, the second may
// finish first, and the first refuses; while the first holds the file, the
// second gives up. Another program writing the
// file before the backup takes its name stops the restore.
enum class Meanwhile { Restore, Convert, Write };

struct TimingRow {
    const char* name;
    const char* step;  // the first restore stops before this step...
    int occurrence;    // ...its n-th time
    Meanwhile action;
    RestoreStatus first;
    const char* firstSays;   // part of its reason; "" when there is none
    const char* secondSays;  // part of the other one's reason; "" when it succeeds
    Folder after;
};

const TimingRow kTimingRows[] = {
    {"a restore ends after the first one judged the backup", "Examine", 2, Meanwhile::Restore, Failed,
     "zmieniła się w trakcie przywracania", "", {{"a.qwz", kOriginal}}},
    {"a restore while the first one holds the file", "IsInUse", 1, Meanwhile::Restore, Restored, "",
     "konwertowany przez inny program", {{"a.qwz", kOriginal}}},
    {"a conversion while the first one holds the file", "IsInUse", 1, Meanwhile::Convert, Restored, "",
     "konwertowany przez inny program", {{"a.qwz", kOriginal}}},
    {"the file is written while the first one holds it", "IsInUse", 1, Meanwhile::Write, Failed,
     "zmienił się w trakcie przywracania", "",
     {{"a.qwz", kConverted + "!"}, {"a_org.qwz", kOriginal}, {"a_org.qwz.txt", kRecord}}},
    {"the file is written while it is judged against its backup", "MapToRead", 1, Meanwhile::Write, Failed,
     "zmienił się w trakcie przywracania", "",
     {{"a.qwz", kConverted + "!"}, {"a_org.qwz", kOriginal}, {"a_org.qwz.txt", kRecord}}},
};

TEST(Restore, ASecondRestoreOrConversionMeanwhileLosesNothing) {
    for (const TimingRow& row : kTimingRows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        for (const auto& [name, bytes] : Folder{{"a.qwz", kConverted}, {"a_org.qwz", kOriginal}, {"a_org.qwz.txt", kRecord}})
            dir.write(name, {bytes.begin(), bytes.end()});
        const fs::path file = dir.path() / "a.qwz";
        FaultyFileOps first;
        int seen = 0;
        Reason second(StatusCode::Unexpected, "not run");
        bool written = false;
        first.before = [&](const std::string& step) {
            EXPECT_TRUE(fs::is_regular_file(file)) << "the user's name is empty before " << step;
            if (step != row.step || ++seen != row.occurrence) return;
            switch (row.action) {
            case Meanwhile::Restore: {
                const RestoreResult other = RestoreQwz(file, true);
                second = Reason(other.code, other.reason);
                break;
            }
            case Meanwhile::Convert: {
                replace::ReplaceOptions options;
                options.backup = dir.path() / "a_org.qwz";
                const std::string bytes = "bytes of another conversion";
                if (replace::ReplaceFileSafely(file, {bytes.begin(), bytes.end()}, options, second)) second.clear();
                break;
            }
            case Meanwhile::Write: {
                // Where the system keeps others from writing a file that is
                // held (Windows), nothing changes and the restore goes on.
                std::ofstream out(file, std::ios::binary | std::ios::app);
                written = bool(out << "!") && bool(out.flush());
                second.clear();
                break;
            }
            }
        };
        const RestoreResult r = RestoreQwz(file, true, first);
        if (row.action == Meanwhile::Write && !written) {
            EXPECT_EQ(r.status, Restored) << r.reason;
            EXPECT_EQ(Snapshot(dir.path()), (Folder{{"a.qwz", kOriginal}}));
            continue;
        }
        EXPECT_EQ(r.status, row.first) << r.reason;
        EXPECT_NE(r.reason.find(row.firstSays), std::string::npos) << r.reason;
        if (*row.secondSays) EXPECT_NE(second.str().find(row.secondSays), std::string::npos) << second;
        else EXPECT_EQ(second, "");
        EXPECT_EQ(Snapshot(dir.path()), row.after);
    }
}

}  // namespace
}  // namespace qwz
