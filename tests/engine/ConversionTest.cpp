#include "app/SampleFiles.h"
#include "engine/Conversion.h"
#include "support/Bytes.h"
#include "support/FaultyFileOps.h"
#include "support/MemoryFileOps.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <set>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace qwz {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::TempDir;
using test::MemoryFileOps;

// A library caller asks for a version; one without a writer of its own is
// refused with the same reason, before the file is even opened, and the
// file stays as it was.
TEST(ConvertQwz, ATargetTheVersionTableCannotWriteIsRefused) {
    MemoryFileOps disk;
    const std::vector<uint8_t> bytes = Bytes().magic(204).zeros(40);
    const fs::path file = disk.Put("/d/a.qwz", bytes);
    for (int target : {999, 205, 201, 0, -52}) {
        SCOPED_TRACE(target);
        for (bool write : {true, false}) {
            ConversionRequest request;
            request.target = target;
            request.write = write;
            const ConversionOutcome r = ConvertQwz(file, request, disk);
            EXPECT_EQ(r.status, ConversionStatus::Failed);
            EXPECT_EQ(r.code, StatusCode::UnsupportedTarget);
            EXPECT_EQ(r.reason, "nieobsługiwana wersja docelowa " + std::to_string(target) +
                                    " (zapisywane: 202, 203, 204)");
            EXPECT_EQ(disk.Read(file), bytes);
        }
    }
    EXPECT_EQ(disk.Snapshot("/d").size(), 1u) << "no backup, no record, no temporary file";
}

// What became of a file is a code decided where it became known, never
// read from the Polish reason: a row per code a conversion gives.
TEST(ConvertQwz, EveryOutcomeCarriesItsCode) {
    MemoryFileOps disk;
    const fs::path dir = "/d";
    const std::vector<uint8_t> sample = test::Sample204();
    disk.MakeFolder(dir / "folder.qwz");
    disk.Put(dir / "taken.qwz", sample);
    disk.Put(dir / "taken_org.qwz", Bytes().magic(204).vec());
    disk.Put(dir / "kept.qwz", sample);
    disk.Put(dir / "kept_org.qwz", sample);
    disk.MakeFifo(dir / "pipe.qwz");
    disk.SetReadOnly(disk.Put(dir / "readonly.qwz", sample));
    struct Row {
        const char* name;
        std::vector<uint8_t> bytes;  // empty: nothing written under the name here
        int target;
        bool keepLines;
        StatusCode code;
        bool refuseLoss = false;
    };
    const Row rows[] = {
        {"missing.qwz", {}, 203, true, StatusCode::NotFound},
        {"folder.qwz", {}, 203, true, StatusCode::NotRegularFile},
        {"pipe.qwz", {}, 203, true, StatusCode::NotRegularFile},
        {"readonly.qwz", {}, 203, true, StatusCode::ReadOnly},
        {"junk.qwz", Bytes().u8('X').zeros(9).vec(), 203, true, StatusCode::NotQwz},
        {"future.qwz", Bytes().magic(205).zeros(9).vec(), 203, true, StatusCode::UnsupportedVersion},
        {"cut.qwz", Bytes().magic(204).zeros(6).vec(), 203, true, StatusCode::Damaged},
        {"same.qwz", test::Empty203(), 203, true, StatusCode::UpToDate},
        {"taken.qwz", {}, 204, false, StatusCode::BackupExists},
        {"kept_org.qwz", {}, 203, true, StatusCode::IsBackup},
        {"loses.qwz", sample, 203, false, StatusCode::WouldLose, true},
        {"new.qwz", sample, 203, true, StatusCode::Converted, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (!row.bytes.empty()) disk.Put(dir / row.name, row.bytes);
        ConversionRequest request;
        request.target = row.target;
        request.params.KeepLines = row.keepLines;
        request.refuseLoss = row.refuseLoss;
        const ConversionOutcome r = ConvertQwz(dir / row.name, request, disk);
        EXPECT_EQ(StatusCodeName(r.code), StatusCodeName(row.code)) << r.reason;
        EXPECT_EQ(disk.Snapshot(dir).count("loses_org.qwz"), 0u) << "refused: nothing written";
    }
    // A step of the system's failing gives that step's category (the fake's
    // steps fail as a full disk would).
    for (int failAt = 1;; ++failAt) {
        const fs::path file = disk.Put(dir / "disk.qwz", sample);
        test::FaultyFileOps ops(failAt, disk);
        ConversionRequest request;
        request.target = 203;
        const ConversionOutcome r = ConvertQwz(file, request, ops);
        if (!ops.failed()) break;
        SCOPED_TRACE(ops.log().back());
        if (r.status == ConversionStatus::Failed) {
            EXPECT_EQ(r.code, StatusCode::DiskFull) << r.reason;
        }
        Reason ignored;
        disk.Remove(dir / "disk_org.qwz", ignored);
    }
    // Into an output folder over an older file there: whatever step fails,
    // that file and the source stay as they were, and nothing is left beside.
    const std::vector<uint8_t> older = Bytes().magic(203).zeros(9).vec();
    for (int failAt = 1;; ++failAt) {
        const fs::path there = disk.Put(dir / "out" / "o.qwz", older), file = disk.Put(dir / "o.qwz", sample);
        test::FaultyFileOps ops(failAt, disk);
        ConversionRequest request;
        request.target = 203;
        request.outputFolder = dir / "out";
        request.outputRelative = "o.qwz";
        const ConversionOutcome r = ConvertQwz(file, request, ops);
        EXPECT_EQ(disk.Read(file), sample);
        EXPECT_EQ(disk.Snapshot(dir / "out").size(), 1u);
        if (!ops.failed()) {
            EXPECT_EQ(r.status, ConversionStatus::Converted) << r.reason;
            EXPECT_EQ(disk.Read(there)[3], 203);
            EXPECT_GT(disk.Read(there).size(), older.size());
            break;
        }
        SCOPED_TRACE(ops.log().back());
        EXPECT_TRUE(r.status != ConversionStatus::Failed || disk.Read(there) == older) << r.reason;
    }
}

#ifndef _WIN32
// A conversion killed after its new file took the name, at the steps that
// are left (the check of what was swapped out, its removal): the next run
// of the file finds it up to date and still takes away the temporary file
// the killed one left.
TEST(ConvertQwz, WhatAKilledConversionLeftGoesWithTheNextRunThatHoldsTheFile) {
    for (const char* killedAt : {"Examine", "Remove"}) {
        SCOPED_TRACE(killedAt);
        TempDir dir;
        const fs::path file = dir.write("hala.qwz", test::Sample204());
        ConversionRequest request;
        request.target = 203;
        const pid_t child = fork();
        if (child == 0) {
            test::FaultyFileOps ops;
            bool exchanged = false;
            ops.before = [&](const std::string& step) {
                if (exchanged && step == killedAt) _exit(0);
                exchanged = exchanged || step == "Exchange";
            };
            ConvertQwz(file, request, ops);
            _exit(1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "not killed after its last step";
        ASSERT_EQ(test::VersionOf(TempDir::read(file)), 203);
        ASSERT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3)
            << "the file, its backup and the temporary name";

        const ConversionOutcome next = ConvertQwz(file, request);
        EXPECT_EQ(next.code, StatusCode::UpToDate) << next.reason;
        std::set<std::string> left;
        for (const auto& e : fs::directory_iterator(dir.path())) left.insert(e.path().filename().string());
        EXPECT_EQ(left, (std::set<std::string>{"hala.qwz", "hala_org.qwz"}));
    }
}
#endif

TEST(StatusCodes, NamesAreStableLowerCaseAndFindTheirCode) {
    size_t count = 0;
    const StatusCode* all = AllStatusCodes(count);
    std::set<std::string_view> names;
    for (size_t i = 0; i < count; ++i) {
        const std::string_view name = StatusCodeName(all[i]);
        EXPECT_EQ(name.find_first_not_of("abcdefghijklmnopqrstuvwxyz-"), std::string_view::npos) << name;
        EXPECT_EQ(StatusCodeNamed(name), all[i]) << name;
        names.insert(name);
    }
    EXPECT_EQ(names.size(), count);
    EXPECT_EQ(StatusCodeName(StatusCode::DiskFull), "disk-full");
    EXPECT_FALSE(StatusCodeNamed("Disk full").has_value());
}

}  // namespace
}  // namespace qwz
