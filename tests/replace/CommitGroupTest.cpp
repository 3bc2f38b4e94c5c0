// A batch's replacements taken to their last steps together, on the disk.
#include "replace/CommitGroup.h"
#include "support/FaultyFileOps.h"
#include "support/ReplaceTogether.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

namespace qwz::replace {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

const std::vector<uint8_t> kOld = {'o', 'l', 'd'}, kNew = {'n', 'e', 'w', '!'}, kSaved = {'s', 'a', 'v', 'e', 'd'};

// Three files in two folders; another program saves the second under its
// name after the group wrote it and before its swap (while the group makes
// its new files durable). That file alone fails, as changed, and keeps the
// other program's save with no backup of ours; the others are replaced and
// keep their originals. The group made its new files durable in one call,
// none on its own.
TEST(CommitGroup, AFileChangedBeforeItsSwapFailsAloneTheOthersAreReplaced) {
    TempDir dir;
    fs::create_directories(dir.path() / "a");
    fs::create_directories(dir.path() / "b");
    const std::vector<fs::path> files = {dir.write("a/1.qwz", kOld), dir.write("a/2.qwz", kOld),
                                         dir.write("b/3.qwz", kOld)};
    const auto backupOf = [](const fs::path& file) { return file.parent_path() / (file.stem().string() + "_org.qwz"); };
    test::FaultyFileOps ops;
    bool saved = false;
    ops.before = [&](const std::string& step) {
        if (step != "FlushFiles") return;
        // Where the system keeps other programs off a file being converted
        // (Windows), the save fails and the file converts as the others.
        const fs::path other = dir.write("a/other.tmp", kSaved);
        std::error_code ec;
        fs::rename(other, files[1], ec);
        saved = !ec;
        if (ec) fs::remove(other);
    };
    ReplaceOptions options[3];
    for (size_t i = 0; i < 3; ++i) options[i].backup = backupOf(files[i]);
    const std::vector<Reason> reasons = test::ReplaceTogether(files, kNew, [&](size_t i) { return options[i]; }, ops);

    EXPECT_EQ(std::count(ops.log().begin(), ops.log().end(), "FlushFiles"), 1);
    EXPECT_EQ(std::count(ops.log().begin(), ops.log().end(), "Flush"), 0);
    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i].string());
        if (i == 1 && saved) {
            EXPECT_EQ(reasons[i].code, StatusCode::Changed) << reasons[i];
            EXPECT_EQ(TempDir::read(files[i]), kSaved);
        } else {
            EXPECT_TRUE(reasons[i].empty()) << reasons[i];
            EXPECT_EQ(TempDir::read(files[i]), kNew);
            EXPECT_EQ(TempDir::read(backupOf(files[i])), kOld);
        }
    }
    // Nothing else is left: no temporary file, no backup of the saved file.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "a"), {}), saved ? 3 : 4);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "b"), {}), 2);
}

}  // namespace
}  // namespace qwz::replace
