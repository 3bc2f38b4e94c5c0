// What a conversion stopped part-way (killed, or the machine went down)
// leaves beside a file, and how the next conversion of that file deals
// with it.
#include "replace/Leftovers.h"
#include "replace/SafeReplace.h"
#include "support/FaultyFileOps.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace qwz::replace {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

const std::vector<uint8_t> kOld = {'o', 'l', 'd'};
const std::vector<uint8_t> kNew = {'n', 'e', 'w', '!'};

std::set<fs::path> Listing(const fs::path& folder) {
    std::set<fs::path> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
    return names;
}

TEST(InterruptedReplace, TemporaryNamesAreRecognisedExactly) {
    const fs::path target = fs::path("dir") / "hala.qwz";
    const std::string own = TemporaryNameBeside(target, 0).filename().string();  // "~qwz-<hash>-00000000.tmp"
    const std::string stem = own.substr(0, 14);
    EXPECT_TRUE(IsTemporaryNameOf(TemporaryNameBeside(target, 0x1234abcd), target));
    EXPECT_TRUE(IsTemporaryNameOf(own, target));
    EXPECT_FALSE(IsTemporaryNameOf(stem + "0000000.tmp", target));      // seven digits
    EXPECT_FALSE(IsTemporaryNameOf(stem + "0000000G.tmp", target));     // not hexadecimal
    EXPECT_FALSE(IsTemporaryNameOf(stem + "00000000.bak", target));
    EXPECT_FALSE(IsTemporaryNameOf(TemporaryNameBeside("hala2.qwz", 0), target));  // another file's
    // What other programs name their temporary files is never taken for ours.
    EXPECT_FALSE(IsTemporaryNameOf("hala.qwz.0badf00d.tmp", target));
    EXPECT_FALSE(IsTemporaryNameOf("hala.qwz.notes.tmp", target));
    EXPECT_TRUE(IsAsideNameOf(AsideNameBeside(target), target) && !IsTemporaryNameOf(AsideNameBeside(target), target));
}

TEST(InterruptedReplace, LeftoverTemporaryFilesOfThatFileAreRemovedOthersStay) {
    TempDir dir;
    const fs::path target = dir.write("hala.qwz", kOld);
    dir.write(TemporaryNameBeside(target, 7).filename(), {1, 2});
    dir.write(TemporaryNameBeside(target, 0xffffffff).filename(), {3});
    dir.write("hala.qwz.notes.tmp", {4});
    dir.write("hala.qwz.0badf00d.tmp", {5});
    const fs::path other = TemporaryNameBeside(dir.path() / "inna.qwz", 7).filename();
    dir.write(other, {6});
    Reason reason;
    ASSERT_TRUE(ReplaceFileSafely(target, kNew, {}, reason)) << reason;
    EXPECT_EQ(TempDir::read(target), kNew);
    EXPECT_EQ(Listing(dir.path()),
              (std::set<fs::path>{"hala.qwz", "hala.qwz.notes.tmp", "hala.qwz.0badf00d.tmp", other}));
}

TEST(InterruptedReplace, ABackupNameLinkedToTheOriginalItselfIsTakenOver) {
    // Stopped after the backup link was made and before the new file took
    // the original's name: the backup is the original, not an earlier copy.
    TempDir dir;
    const fs::path target = dir.write("hala.qwz", kOld);
    const fs::path backup = dir.path() / "hala_org.qwz";
    fs::create_hard_link(target, backup);
    ReplaceOptions options;
    options.backup = backup;
    Reason reason;
    ASSERT_TRUE(ReplaceFileSafely(target, kNew, options, reason)) << reason;
    EXPECT_EQ(TempDir::read(target), kNew);
    EXPECT_EQ(TempDir::read(backup), kOld);

    // A backup that is another file with the same bytes is an earlier
    // backup all the same, and is never replaced.
    const fs::path other = dir.write("inna.qwz", kOld);
    const fs::path otherBackup = dir.write("inna_org.qwz", kOld);
    options.backup = otherBackup;
    EXPECT_FALSE(ReplaceFileSafely(other, kNew, options, reason));
    EXPECT_EQ(TempDir::read(other), kOld);
}

// On a file system without links the backup is a copy. A conversion
// stopped between that copy and its last step leaves the original, a
// complete copy under the backup name and its temporary file: the next
// conversion takes that copy over as its backup (and removes it again
// should it fail itself). A backup name holding other bytes, or one with no
// temporary file of the original's beside it, is an earlier backup all the
// same.
struct LeftCopyRow {
    const char* name;
    std::vector<uint8_t> atBackup;
    bool temporaryBeside;
    bool checkFails;  // the next conversion fails itself
    bool converts;
    std::set<fs::path> after;  // besides the temporary names
};

TEST(InterruptedReplace, ACopyLeftByAStoppedConversionIsTakenOverNothingElse) {
    const LeftCopyRow rows[] = {
        {"a copy left with its temporary file", kOld, true, false, true, {"hala.qwz", "hala_org.qwz"}},
        {"taken over, then the conversion fails", kOld, true, true, false, {"hala.qwz"}},
        {"other bytes beside a temporary file", {'o', 'l', 'D'}, true, false, false, {"hala.qwz", "hala_org.qwz"}},
        {"the same bytes, no temporary file", kOld, false, false, false, {"hala.qwz", "hala_org.qwz"}},
    };
    for (const LeftCopyRow& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const fs::path target = dir.write("hala.qwz", kOld);
        const fs::path backup = dir.write("hala_org.qwz", row.atBackup);
        if (row.temporaryBeside) dir.write(TemporaryNameBeside(target, 7).filename(), kNew);
        test::FaultyFileOps ops;
        ops.noLinks = true;
        ReplaceOptions options;
        options.backup = backup;
        options.verify = [&](const uint8_t*, size_t, Reason& why) {
            why = Reason(StatusCode::VerifyFailed, "nie daje się odczytać");
            return !row.checkFails;
        };
        Reason reason;
        EXPECT_EQ(ReplaceFileSafely(target, kNew, options, reason, ops), row.converts) << reason;
        if (!row.converts && !row.checkFails) {
            EXPECT_NE(reason.find("już istnieje"), std::string::npos) << reason;
        }
        EXPECT_EQ(TempDir::read(target), row.converts ? kNew : kOld);
        if (fs::exists(backup)) {
            EXPECT_EQ(TempDir::read(backup), row.atBackup);
        }
        std::set<fs::path> left = Listing(dir.path());
        std::erase_if(left, [&](const fs::path& n) { return IsTemporaryNameOf(n, target) && !row.converts; });
        EXPECT_EQ(left, row.after);
    }
}

#ifndef _WIN32
// The same, from a conversion really stopped there: a process that ends
// at the moment its new file would take the name.
TEST(InterruptedReplace, AConversionKilledAfterItsBackupCopyIsFinishedByTheNext) {
    TempDir dir;
    const fs::path target = dir.write("hala.qwz", kOld);
    ReplaceOptions options;
    options.backup = dir.path() / "hala_org.qwz";
    const pid_t child = fork();
    if (child == 0) {
        test::FaultyFileOps ops;
        ops.noLinks = true;
        ops.before = [](const std::string& step) {
            if (step == "Exchange" || step == "RenameReplace") _exit(0);
        };
        Reason reason;
        ReplaceFileSafely(target, kNew, options, reason, ops);
        _exit(1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "not stopped at its last step";
    ASSERT_EQ(Listing(dir.path()).size(), 3u) << "the original, the copy and the temporary file";
    EXPECT_EQ(TempDir::read(options.backup), kOld);

    test::FaultyFileOps ops;
    ops.noLinks = true;
    Reason reason;
    ASSERT_TRUE(ReplaceFileSafely(target, kNew, options, reason, ops)) << reason;
    EXPECT_EQ(TempDir::read(target), kNew);
    EXPECT_EQ(TempDir::read(options.backup), kOld);
    EXPECT_EQ(Listing(dir.path()), (std::set<fs::path>{"hala.qwz", "hala_org.qwz"}));
}
#endif

// A conversion stopped while the original was aside (Windows) leaves it
// there: the next one puts it back under an empty name, and beside the new
// file drops that name where the original has another, else keeps it.
TEST(InterruptedReplace, AnOriginalLeftAsideIsPutBackOrKeptNeverLost) {
    // {the new file had taken the name, the original is also the backup, where it is then}
    const std::tuple<bool, bool, fs::path> rows[] = {
        {false, false, "hala_org.qwz"}, {true, true, "hala_org.qwz"}, {true, false, fs::path(u8"hala (oryginał).qwz")}};
    for (const auto& [converted, backedUp, kept] : rows) {
        SCOPED_TRACE(::testing::Message() << "converted " << converted << ", backup " << backedUp);
        TempDir dir;
        const fs::path target = dir.path() / "hala.qwz", backup = dir.path() / "hala_org.qwz";
        const fs::path aside = dir.write(AsideNameBeside(target).filename(), kOld);
        if (backedUp) fs::create_hard_link(aside, backup);
        if (converted) dir.write("hala.qwz", kNew);
        ReplaceOptions options;
        if (!converted) options.backup = backup;
        Reason reason;
        ASSERT_TRUE(ReplaceFileSafely(target, kNew, options, reason)) << reason;
        EXPECT_EQ(Listing(dir.path()), (std::set<fs::path>{"hala.qwz", kept}));
        EXPECT_EQ(TempDir::read(dir.path() / kept), kOld);
    }
}

// The conversions of one run list a folder once; each takes only its own
// file's leftovers, and one left after the listing waits for a later run.
TEST(InterruptedReplace, ARunListsEachFolderOnceAndEachFileTakesItsOwnLeftovers) {
    TempDir dir;
    const fs::path a = dir.write("a.qwz", kOld), b = dir.write("b.qwz", kOld);
    const fs::path leftA = dir.write(TemporaryNameBeside(a, 7).filename(), {1});
    const fs::path leftB = dir.write(TemporaryNameBeside(b, 7).filename(), {2});
    dir.write("a.qwz.0badf00d.tmp", {3});
    test::FaultyFileOps ops;
    int listings = 0;
    ops.before = [&](const std::string& step) { listings += step == "ReadFolder"; };
    Reason reason;
    {
        LeftoverIndex index;
        LeftoverIndex::Scope scope(index);
        ASSERT_TRUE(ReplaceFileSafely(a, kNew, {}, reason, ops)) << reason;
        EXPECT_FALSE(fs::exists(leftA));
        EXPECT_TRUE(fs::exists(leftB)) << "another file's, even in the same run";
        dir.write(leftA.filename(), {4});  // left after the listing
        ASSERT_TRUE(ReplaceFileSafely(b, kNew, {}, reason, ops)) << reason;
        ASSERT_TRUE(ReplaceFileSafely(a, kOld, {}, reason, ops)) << reason;
        EXPECT_EQ(listings, 1);
        EXPECT_EQ(Listing(dir.path()), (std::set<fs::path>{"a.qwz", "b.qwz", "a.qwz.0badf00d.tmp", leftA.filename()}));
    }
    ASSERT_TRUE(ReplaceFileSafely(a, kNew, {}, reason, ops)) << reason;
    EXPECT_FALSE(fs::exists(leftA)) << "the next run finds it";
    EXPECT_TRUE(fs::exists(dir.path() / "a.qwz.0badf00d.tmp"));
}

}  // namespace
}  // namespace qwz::replace
