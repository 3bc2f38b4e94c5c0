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

TEST(PowerLoss, AtEveryStepTheNameHoldsTheOriginalOrTheWholeNewFile) {
    const std::vector<uint8_t> original(3000, 'o'), converted(5000, 'n');
    // One file alone, and a batch's group of four in two folders.
    const std::vector<std::vector<std::filesystem::path>> batches = {
        {"/a.qwz"}, {"/a/1.qwz", "/a/2.qwz", "/b/1.qwz", "/b/2.qwz"}};
    const auto backupOf = [](const std::filesystem::path& f) { return f.stem().string() + "_org.qwz"; };
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
            disk.afterStep = [&] {
                ++steps;
                for (const auto& path : files)
                for (const auto& state : disk.StatesAfterPowerLoss(path.parent_path())) {
                    ++states;
                    auto file = state.find(path.filename().string());
                    if (file == state.end()) {  // only while the original is aside, which the next run puts back
                        EXPECT_TRUE(std::any_of(state.begin(), state.end(), [&](const auto& e) {
                            return IsAsideNameOf(e.first, path) && e.second == original;
                        })) << "step " << steps << ": the name " << path << " is empty";
                        continue;
                    }
                    EXPECT_TRUE(file->second == original || file->second == converted)
                        << "step " << steps << ": " << path << " has " << file->second.size() << " bytes";
                    auto backup = state.find(backupOf(path));
                    if (backup != state.end()) {
                        EXPECT_EQ(backup->second, original) << "step " << steps << ": " << path;
                    }
                    // The new file in place means the original is kept.
                    if (keep && file->second == converted) {
                        EXPECT_NE(backup, state.end()) << "step " << steps << ": the original of " << path << " is lost";
                    }
                }
            };
            const auto options = [&](size_t i) {
                ReplaceOptions o;
                if (keep) o.backup = files[i].parent_path() / backupOf(files[i]);
                o.writeChunk = 1024;
                return o;
            };
            Reason alone;
            if (files.size() == 1) ReplaceFileSafely(files[0], converted, options(0), alone, disk);
            for (const Reason& reason : files.size() == 1 ? std::vector<Reason>{alone}
                                                          : test::ReplaceTogether(files, converted, options, disk))
                EXPECT_TRUE(reason.empty()) << reason;
            for (size_t i = 0; i < files.size(); ++i) {
                EXPECT_EQ(disk.Read(files[i]), converted);
                EXPECT_EQ(disk.Snapshot(files[i].parent_path()).size(), (files.size() == 1 ? 1 : 2) * (keep ? 2u : 1u))
                    << "only the files and their backups are left";
                EXPECT_EQ(disk.Read(options(i).backup), keep ? original : std::vector<uint8_t>());
            }
            std::printf("[ power    ] %s%s, %zu files: %d steps, %d states after a power loss\n",
                        system, keep ? "" : " (no backup)", files.size(), steps, states);
        }
    }
}

}  // namespace
}  // namespace qwz::replace
