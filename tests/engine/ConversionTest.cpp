#include "app/SampleFiles.h"
#include "engine/Conversion.h"
#include "support/Bytes.h"
#include "support/FaultyFileOps.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <set>

namespace qwz {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::TempDir;

// A library caller asks for a version; one without a writer of its own is
// refused with the same reason, before the file is even opened, and the
// file stays as it was.
TEST(ConvertQwz, ATargetTheVersionTableCannotWriteIsRefused) {
    TempDir dir;
    const std::vector<uint8_t> bytes = Bytes().magic(204).zeros(40);
    const fs::path file = dir.write("a.qwz", bytes);
    for (int target : {999, 205, 201, 0, -52}) {
        SCOPED_TRACE(target);
        for (bool write : {true, false}) {
            ConversionRequest request;
            request.target = target;
            request.write = write;
            const ConversionOutcome r = ConvertQwz(file, request);
            EXPECT_EQ(r.status, ConversionStatus::Failed);
            EXPECT_EQ(r.code, platform::StatusCode::UnsupportedTarget);
            EXPECT_EQ(r.reason, "nieobsługiwana wersja docelowa " + std::to_string(target) +
                                    " (zapisywane: 202, 203, 204)");
            EXPECT_EQ(TempDir::read(file), bytes);
        }
    }
    EXPECT_FALSE(fs::exists(dir.path() / "a_org.qwz"));
}

// What became of a file is a code decided where it became known, never
// read from the Polish reason: a row per code a conversion gives.
TEST(ConvertQwz, EveryOutcomeCarriesItsCode) {
    using platform::StatusCode;
    TempDir dir;
    const std::vector<uint8_t> sample = test::Sample204();
    fs::create_directory(dir.path() / "folder.qwz");
    dir.write("taken.qwz", sample);
    dir.write("taken_org.qwz", Bytes().magic(204).vec());
    dir.write("kept.qwz", sample);
    dir.write("kept_org.qwz", sample);
    struct Row {
        const char* name;
        std::vector<uint8_t> bytes;  // empty: nothing written under the name here
        int target;
        bool keepLines;
        StatusCode code;
    };
    const Row rows[] = {
        {"missing.qwz", {}, 203, true, StatusCode::NotFound},
        {"folder.qwz", {}, 203, true, StatusCode::NotRegularFile},
        {"junk.qwz", Bytes().u8('X').zeros(9).vec(), 203, true, StatusCode::NotQwz},
        {"future.qwz", Bytes().magic(205).zeros(9).vec(), 203, true, StatusCode::UnsupportedVersion},
        {"cut.qwz", Bytes().magic(204).zeros(6).vec(), 203, true, StatusCode::Damaged},
        {"same.qwz", test::Empty203(), 203, true, StatusCode::UpToDate},
        {"taken.qwz", {}, 204, false, StatusCode::BackupExists},
        {"kept_org.qwz", {}, 203, true, StatusCode::IsBackup},
        {"new.qwz", sample, 203, true, StatusCode::Converted},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (!row.bytes.empty()) dir.write(row.name, row.bytes);
        ConversionRequest request;
        request.target = row.target;
        request.params.KeepLines = row.keepLines;
        const ConversionOutcome r = ConvertQwz(dir.path() / row.name, request);
        EXPECT_EQ(platform::StatusCodeName(r.code), platform::StatusCodeName(row.code)) << r.reason;
    }
    // A step of the system's failing gives that step's category (the fake's
    // steps fail as a full disk would).
    for (int failAt = 1;; ++failAt) {
        const fs::path file = dir.write("disk.qwz", sample);
        test::FaultyFileOps ops(failAt);
        ConversionRequest request;
        request.target = 203;
        const ConversionOutcome r = ConvertQwz(file, request, ops);
        if (!ops.failed()) break;
        SCOPED_TRACE(ops.log().back());
        if (r.status == ConversionStatus::Failed) {
            EXPECT_EQ(r.code, StatusCode::DiskFull) << r.reason;
        }
        fs::remove(dir.path() / "disk_org.qwz");
    }
}

TEST(StatusCodes, NamesAreStableLowerCaseAndFindTheirCode) {
    size_t count = 0;
    const platform::StatusCode* all = platform::AllStatusCodes(count);
    std::set<std::string_view> names;
    for (size_t i = 0; i < count; ++i) {
        const std::string_view name = platform::StatusCodeName(all[i]);
        EXPECT_EQ(name.find_first_not_of("abcdefghijklmnopqrstuvwxyz-"), std::string_view::npos) << name;
        EXPECT_EQ(platform::StatusCodeNamed(name), all[i]) << name;
        names.insert(name);
    }
    EXPECT_EQ(names.size(), count);
    EXPECT_EQ(platform::StatusCodeName(platform::StatusCode::DiskFull), "disk-full");
    EXPECT_FALSE(platform::StatusCodeNamed("Disk full").has_value());
}

}  // namespace
}  // namespace qwz
