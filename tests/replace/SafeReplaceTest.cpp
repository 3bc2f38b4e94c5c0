#include "replace/SafeReplace.h"
#include "support/FaultyFileOps.h"
#include "support/ReplaceTogether.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <set>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace qwz::replace {
namespace {

using test::FaultyFileOps;
using test::TempDir;

namespace fs = std::filesystem;

const std::vector<uint8_t> kOld = {'o', 'l', 'd', ' ', 'c', 'o', 'n', 't', 'e', 'n', 't'};
const std::vector<uint8_t> kNew = {'n', 'e', 'w', ' ', 'b', 'y', 't', 'e', 's', ' ', 'o', 'f',
                                   ' ', 't', 'h', 'e', ' ', 'f', 'i', 'l', 'e'};

std::set<std::string> Listing(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

TEST(SafeReplace, ReplacesTheFileAndKeepsTheOriginalUnderTheBackupName) {
    TempDir dir;
    fs::path target = dir.write("a.qwz", kOld);
    ReplaceOptions options;
    options.backup = dir.path() / "a_org.qwz";
    Reason reason;
    ASSERT_TRUE(ReplaceFileSafely(target, kNew, options, reason)) << reason;
    EXPECT_EQ(TempDir::read(target), kNew);
    EXPECT_EQ(TempDir::read(options.backup), kOld);
    EXPECT_EQ(Listing(dir.path()), (std::set<std::string>{"a.qwz", "a_org.qwz"}));
}

TEST(SafeReplace, WithoutBackupTheOriginalIsReplacedAndNothingElseIsLeft) {
    TempDir dir;
    fs::path target = dir.write("a.qwz", kOld);
    Reason reason;
    ASSERT_TRUE(ReplaceFileSafely(target, kNew, {}, reason)) << reason;
    EXPECT_EQ(TempDir::read(target), kNew);
    EXPECT_EQ(Listing(dir.path()), (std::set<std::string>{"a.qwz"}));
}

TEST(SafeReplace, ATakenBackupNameStopsItAndChangesNothing) {
    TempDir dir;
    fs::path target = dir.write("a.qwz", kOld);
    const std::vector<uint8_t> earlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};
    fs::path backup = dir.write("a_org.qwz", earlier);
    for (bool noLinks : {false, true}) {
        SCOPED_TRACE(noLinks ? "copy" : "link");
        FaultyFileOps ops;
        ops.noLinks = noLinks;
        ReplaceOptions options;
        options.backup = backup;
        Reason reason;
        EXPECT_FALSE(ReplaceFileSafely(target, kNew, options, reason, ops));
        EXPECT_NE(reason.find("już istnieje"), std::string::npos) << reason;
        EXPECT_EQ(TempDir::read(target), kOld);
        EXPECT_EQ(TempDir::read(backup), earlier);
        EXPECT_EQ(Listing(dir.path()), (std::set<std::string>{"a.qwz", "a_org.qwz"}));
    }
}

TEST(SafeReplace, WhatTheCheckOfTheWrittenFileRefusesIsNotPutInPlace) {
    TempDir dir;
    fs::path target = dir.write("a.qwz", kOld);
    ReplaceOptions options;
    options.backup = dir.path() / "a_org.qwz";
    std::vector<uint8_t> seen;
    options.verify = [&](const uint8_t* back, size_t size, Reason& why) {
        seen.assign(back, back + size);
        why = Reason(StatusCode::VerifyFailed, "nie daje się odczytać");
        return false;
    };
    Reason reason;
    EXPECT_FALSE(ReplaceFileSafely(target, kNew, options, reason));
    EXPECT_EQ(reason, "nie daje się odczytać");
    EXPECT_EQ(seen, kNew);  // the check saw what is on the disk
    EXPECT_EQ(TempDir::read(target), kOld);
    EXPECT_EQ(Listing(dir.path()), (std::set<std::string>{"a.qwz"}));
}

TEST(SafeReplace, AReadOnlyOriginalIsRefused) {
    TempDir dir;
    fs::path target = dir.write("a.qwz", kOld);
    fs::permissions(target, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    ReplaceOptions options;
    options.backup = dir.path() / "a_org.qwz";
    Reason reason;
    EXPECT_FALSE(ReplaceFileSafely(target, kNew, options, reason));
    EXPECT_NE(reason.find("tylko do odczytu"), std::string::npos) << reason;
    EXPECT_EQ(TempDir::read(target), kOld);
    EXPECT_EQ(Listing(dir.path()), (std::set<std::string>{"a.qwz"}));
    fs::permissions(target, fs::perms::owner_write, fs::perm_options::add);
}

TEST(SafeReplace, ShortWritesAreCarriedOnUntilEveryByteIsWritten) {
    TempDir dir;
    fs::path target = dir.write("a.qwz", kOld);
    FaultyFileOps ops;
    ops.shortWrite = 2;
    Reason reason;
    ASSERT_TRUE(ReplaceFileSafely(target, kNew, {}, reason, ops)) << reason;
    EXPECT_EQ(TempDir::read(target), kNew);
}

#ifndef _WIN32
TEST(SafeReplace, TheNewFileKeepsTheOriginalsAccessRightsAndOwner) {
    TempDir dir;
    fs::path target = dir.write("a.qwz", kOld);
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(target.c_str(), 65534, 65534), 0);
    }
    Reason reason;
    ASSERT_TRUE(ReplaceFileSafely(target, kNew, {}, reason)) << reason;
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(st.st_uid, 65534u);
        EXPECT_EQ(st.st_gid, 65534u);
    }
}
#endif

TEST(SafeReplace, TheTemporaryFileSitsBesideTheTargetUnderAShortNameOfItsOwn) {
    fs::path t = TemporaryNameBeside(fs::path("folder") / "hall.qwz", 0xabcdef12u);
    EXPECT_EQ(t.parent_path(), fs::path("folder"));
    const std::string name = t.filename().string();
    EXPECT_EQ(name.size(), 26u);
    EXPECT_EQ(name.rfind("~qwz-", 0), 0u);
    EXPECT_EQ(name.substr(13), "-abcdef12.tmp");
}

// Every step of one replacement is made to fail in turn, once each. After
// each run either nothing changed (the original under its name, byte for
// byte, and no other file) or the replacement completed with a correct
// backup. The number of steps is printed.
struct FaultCase {
    const char* name;
    bool backup;
    bool noLinks;
    bool made;  // the new file made in parts while it is written
    bool grouped = false;  // as one of a batch: made durable by its group
};

// The new file made in parts of 7 bytes, as a conversion makes it while it
// is written.
FileMaker MakerOf(const std::vector<uint8_t>& bytes) {
    return [bytes](const FilePart& part) {
        for (size_t at = 0; at < bytes.size(); at += 7) part(bytes.data() + at, std::min<size_t>(7, bytes.size() - at));
        return std::vector<uint8_t>();
    };
}

bool Replace(const fs::path& target, const FaultCase& c, const ReplaceOptions& options, Reason& reason, FileOps& ops) {
    if (c.grouped) {
        reason = test::ReplaceTogether({target}, kNew, [&](size_t) { return options; }, ops)[0];
        return reason.empty();
    }
    if (!c.made) return ReplaceFileSafely(target, kNew, options, reason, ops);
    OriginalFile original(ops);
    return Hold(original, target, true, reason) && ReplaceFileSafely(original, MakerOf(kNew), options, reason);
}

class SafeReplaceFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(SafeReplaceFaults, EveryStepFailingLeavesTheOriginalOrACompleteResult) {
    const FaultCase c = GetParam();
    int points = 0;
    std::set<std::string> stepsFailed;
    for (int failAt = 1;; ++failAt) {
        TempDir dir;
        fs::path target = dir.write("scene.qwz", kOld);
        fs::path backup = dir.path() / "scene_org.qwz";
        FaultyFileOps ops(failAt);
        ops.noLinks = c.noLinks;
        ReplaceOptions options;
        if (c.backup) options.backup = backup;
        options.writeChunk = 8;  // three writes
        Reason reason;
        bool done = Replace(target, c, options, reason, ops);
        if (!ops.failed()) {
            // Past the last step: nothing was injected and it must complete.
            ASSERT_TRUE(done) << reason;
            break;
        }
        ++points;
        stepsFailed.insert(ops.log()[size_t(failAt - 1)]);
        SCOPED_TRACE("failed step " + std::to_string(failAt) + ": " + ops.log()[size_t(failAt - 1)]);
        if (done) {
            EXPECT_EQ(TempDir::read(target), kNew);
            if (c.backup) {
                EXPECT_EQ(TempDir::read(backup), kOld);
                EXPECT_EQ(Listing(dir.path()), (std::set<std::string>{"scene.qwz", "scene_org.qwz"}));
            } else {
                EXPECT_EQ(Listing(dir.path()), (std::set<std::string>{"scene.qwz"}));
            }
        } else {
            EXPECT_FALSE(reason.empty());
            EXPECT_EQ(TempDir::read(target), kOld);
            EXPECT_EQ(Listing(dir.path()), (std::set<std::string>{"scene.qwz"}));
        }
        ASSERT_LT(failAt, 100);
    }
    std::string steps;
    for (const std::string& s : stepsFailed) steps += " " + s;
    std::printf("[ faults   ] %s: %d injection points:%s\n", c.name, points, steps.c_str());
    // open and lock the original, create, three writes, flush, close, read
    // back, the backup step(s), the final rename and the folder sync
    EXPECT_GE(points, c.backup ? (c.noLinks ? 18 : 12) : 11);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SafeReplaceFaults,
    ::testing::Values(FaultCase{"backup by link", true, false, false},
                      FaultCase{"backup by copy", true, true, false},
                      FaultCase{"no backup", false, false, false},
                      FaultCase{"made, backup by link", true, false, true},
                      FaultCase{"made, backup by copy", true, true, true},
                      FaultCase{"made, no backup", false, false, true},
                      FaultCase{"grouped, backup by link", true, false, false, true}),
    [](const ::testing::TestParamInfo<FaultCase>& info) {
        return std::string(info.param.grouped ? "Grouped" : "") + (info.param.made ? "Made" : "") +
               (info.param.backup ? (info.param.noLinks ? "CopyBackup" : "LinkBackup") : "NoBackup");
    });

TEST(SafeReplace, ANewFileThatDoesNotReadBackAsWrittenIsNotPutInPlace) {
    for (bool made : {false, true}) {
        SCOPED_TRACE(made ? "made in parts" : "from memory");
        TempDir dir;
        fs::path target = dir.write("a.qwz", kOld);
        FaultyFileOps ops;
        ops.flipReads = true;
        ReplaceOptions options;
        options.backup = dir.path() / "a_org.qwz";
        bool checked = false;
        options.verify = [&](const uint8_t*, size_t, Reason&) { return checked = true; };
        Reason reason;
        EXPECT_FALSE(Replace(target, FaultCase{"", true, false, made}, options, reason, ops));
        EXPECT_NE(reason.find("różni się od danych"), std::string::npos) << reason;
        EXPECT_FALSE(checked) << "a file that differs went on to the check";
        EXPECT_EQ(TempDir::read(target), kOld);
        EXPECT_EQ(Listing(dir.path()), (std::set<std::string>{"a.qwz"}));
    }
}

}  // namespace
}  // namespace qwz::replace
