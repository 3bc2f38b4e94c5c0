// A replacement run on the file system in memory, which records what is
// durable: after every step, the machine may lose power, which throws away
// every write that was not flushed and any of the name changes that were
// not yet made durable by a sync of the folder. In every state that such a
// loss can leave, the user's name holds the original or the complete new
// file, and the backup name nothing or the complete original.
#include "replace/SafeReplace.h"
#include "support/MemoryFileOps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace qwz::replace {
namespace {

using test::MemoryFileOps;

TEST(PowerLoss, AtEveryStepTheNameHoldsTheOriginalOrTheWholeNewFile) {
    const std::vector<uint8_t> original(3000, 'o'), converted(5000, 'n');
    // With the steps of Linux, of a simpler file system, and of Windows.
    for (const char* system : {"link", "copy", "moved aside"}) {
        const bool links = system != std::string("copy");
        for (const bool keep : {true, false}) {
            SCOPED_TRACE(std::string(system) + (keep ? "" : ", none kept"));
            MemoryFileOps disk;
            disk.hardLinks = links;
            disk.exchange = system == std::string("link");
            disk.renameHeld = system == std::string("moved aside");
            disk.Put("a.qwz", original);
            int steps = 0, states = 0;
            disk.afterStep = [&] {
                ++steps;
                for (const auto& state : disk.StatesAfterPowerLoss("/")) {
                    ++states;
                    auto file = state.find("a.qwz");
                    if (file == state.end()) {  // only while the original is aside, which the next run puts back
                        EXPECT_TRUE(std::any_of(state.begin(), state.end(), [&](const auto& e) {
                            return IsAsideNameOf(e.first, "a.qwz") && e.second == original;
                        })) << "step " << steps << ": the user's name is empty";
                        continue;
                    }
                    EXPECT_TRUE(file->second == original || file->second == converted)
                        << "step " << steps << ": a file of " << file->second.size() << " bytes";
                    auto backup = state.find("a_org.qwz");
                    if (backup != state.end()) {
                        EXPECT_EQ(backup->second, original) << "step " << steps;
                    }
                    // The new file in place means the original is kept.
                    if (keep && file->second == converted) {
                        EXPECT_NE(backup, state.end()) << "step " << steps << ": the original is lost";
                    }
                }
            };
            ReplaceOptions options;
            if (keep) options.backup = "a_org.qwz";
            options.writeChunk = 1024;
            Reason reason;
            ASSERT_TRUE(ReplaceFileSafely("a.qwz", converted, options, reason, disk)) << reason;
            EXPECT_EQ(disk.Read("a.qwz"), converted);
            EXPECT_EQ(disk.Snapshot("/").size(), keep ? 2u : 1u) << "only the file and its backup are left";
            if (keep) {
                EXPECT_EQ(disk.Read("a_org.qwz"), original);
            }
            std::printf("[ power    ] %s%s: %d steps, %d states after a power loss\n",
                        system, keep ? "" : " (no backup)", steps, states);
        }
    }
}

}  // namespace
}  // namespace qwz::replace
