// Replacements run on the file system in memory, one alone and a batch's
// group in two folders, which records what is durable: after every step, the machine may lose power, which throws away
// every write that was not flushed and any of the name changes that were
// not yet made durable by a sync of the folder. In every state that such a
// loss can leave, the user's name holds the original or the complete new
// file, and the backup name nothing or the complete original.
#include "replace/SafeReplace.h"
#include "support/MemoryFileOps.h"
#include "support/ReplaceTogether.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace qwz::replace {
namespace {

using test::MemoryFileOps;

// Every file's name, in the states a power loss can leave in its folder,
// holds its original or its whole new file (or, while the original is
// aside, a name beside it holds it), and its backup name nothing or the
// whole original; with the new file in place, the original is kept.
void ExpectWholeAfterPowerLoss(MemoryFileOps& disk, const std::vector<std::filesystem::path>& files, bool keep,
                               const std::vector<uint8_t>& original, const std::vector<uint8_t>& converted,
                               int step, int& states) {
    for (const std::filesystem::path& path : files) {
        const std::string name = path.filename().string();
        const std::string backupName = path.stem().string() + "_org.qwz";
        for (const auto& state : disk.StatesAfterPowerLoss(path.parent_path())) {
            ++states;
            auto file = state.find(name);
            if (file == state.end()) {  // only while the original is aside, which the next run puts back
                EXPECT_TRUE(std::any_of(state.begin(), state.end(), [&](const auto& e) {
                    return IsAsideNameOf(e.first, name) && e.second == original;
                })) << "step " << step << ": the name " << path << " is empty";
                continue;
            }
            EXPECT_TRUE(file->second == original || file->second == converted)
                << "step " << step << ": " << path << " has " << file->second.size() << " bytes";
            auto backup = state.find(backupName);
            if (backup != state.end()) {
                EXPECT_EQ(backup->second, original) << "step " << step << ": " << path;
            }
            if (keep && file->second == converted) {
                EXPECT_NE(backup, state.end()) << "step " << step << ": the original of " << path << " is lost";
            }
        }
    }
}

TEST(PowerLoss, AtEveryStepTheNameHoldsTheOriginalOrTheWholeNewFile) {
    const std::vector<uint8_t> original(3000, 'o'), converted(5000, 'n');
    // One file alone, and a batch's group of four in two folders, whose new
    // files are made durable together.
    const std::vector<std::vector<std::filesystem::path>> batches = {
        {"/a.qwz"}, {"/a/1.qwz", "/a/2.qwz", "/b/1.qwz", "/b/2.qwz"}};
    // With the steps of Linux, of a simpler file system, and of Windows.
    for (const auto& files : batches)
    for (const char* system : {"link", "copy", "moved aside"}) {
        const bool links = system != std::string("copy");
        for (const bool keep : {true, false}) {
            SCOPED_TRACE(std::string(system) + (keep ? "" : ", none kept") + ", files: " + std::to_string(files.size()));
            MemoryFileOps disk;
            disk.hardLinks = links;
            disk.exchange = system == std::string("link");
            disk.renameHeld = system == std::string("moved aside");
            for (const auto& file : files) disk.Put(file, original);
            int steps = 0, states = 0;
            disk.afterStep = [&] { ExpectWholeAfterPowerLoss(disk, files, keep, original, converted, ++steps, states); };
            const auto options = [&](size_t i) {
                ReplaceOptions o;
                if (keep) o.backup = files[i].parent_path() / (files[i].stem().string() + "_org.qwz");
                o.writeChunk = 1024;
                return o;
            };
            if (files.size() == 1) {
                Reason reason;
                ASSERT_TRUE(ReplaceFileSafely(files[0], converted, options(0), reason, disk)) << reason;
            } else {
                for (const Reason& reason : test::ReplaceTogether(files, converted, options, disk)) {
                    ASSERT_TRUE(reason.empty()) << reason;
                }
            }
            for (size_t i = 0; i < files.size(); ++i) {
                EXPECT_EQ(disk.Read(files[i]), converted);
                const auto inFolder = std::count_if(files.begin(), files.end(), [&](const auto& f) {
                    return f.parent_path() == files[i].parent_path();
                });
                EXPECT_EQ(disk.Snapshot(files[i].parent_path()).size(), size_t(inFolder) * (keep ? 2 : 1))
                    << "only the files and their backups are left";
                if (keep) {
                    EXPECT_EQ(disk.Read(options(i).backup), original);
                }
            }
            std::printf("[ power    ] %s%s, %zu files: %d steps, %d states after a power loss\n",
                        system, keep ? "" : " (no backup)", files.size(), steps, states);
        }
    }
}

}  // namespace
}  // namespace qwz::replace
