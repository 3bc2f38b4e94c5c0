#include "engine/Conversion.h"
#include "support/Bytes.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

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
            EXPECT_EQ(r.reason, "nieobsługiwana wersja docelowa " + std::to_string(target) +
                                    " (zapisywane: 202, 203, 204)");
            EXPECT_EQ(TempDir::read(file), bytes);
        }
    }
    EXPECT_FALSE(fs::exists(dir.path() / "a_org.qwz"));
}

}  // namespace
}  // namespace qwz
