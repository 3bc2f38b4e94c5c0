// A replacement run on the file system in memory, which records what is
// durable: after every step, the machine may lose power, which throws away
// every write that was not flushed and any of the name changes that were
// not yet made durable by a sync of the folder. In every state that such a
// loss can leave, the user's name holds the original or the complete new
// file, and the backup name nothing or the complete original.
#include "platform/SafeReplace.h"
#include "support/MemoryFileOps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace qwz::platform {
namespace {

using test::MemoryFileOps;

TEST(PowerLoss, AtEveryStepTheNameHoldsTheOriginalOrTheWholeNewFile) {
    const std::vector<uint8_t> original(3000, 'o'), converted(5000, 'n');
    // With the steps of Linux, those of a simpler file system, and those of
    // Windows, where the original is moved aside before the new file moves in.
    struct System {
        const char* name;
        bool links, exchange, moveAside;
    };
    for (const System& system : {System{"link", true, true, false}, System{"copy", false, false, false},
                                 System{"moved aside", true, false, true}}) {
        for (const bool keep : {true, false}) {
            SCOPED_TRACE(std::string(system.name) + (keep ? "" : ", none kept"));
            MemoryFileOps disk;
            disk.hardLinks = system.links;
            disk.exchange = system.exchange;
            disk.renameHeld = system.moveAside;
            disk.Put("a.qwz", original);
            int steps = 0, states = 0;
            disk.afterStep = [&] {
                ++steps;
                for (const auto& state : disk.StatesAfterPowerLoss("/")) {
                    ++states;
                    auto file = state.find("a.qwz");
                    if (file == state.end()) {
                        // Only while the original is aside, which the next run puts back.
                        const auto aside = std::find_if(state.begin(), state.end(),
                                                        [](const auto& e) { return IsAsideNameOf(e.first, "a.qwz"); });
                        ASSERT_TRUE(aside != state.end() && aside->second == original)
                            << "step " << steps << ": the user's name is empty";
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
            std::printf("[ power    ] %s%s: %d steps, %d states after a power loss\n", system.name,
                        keep ? "" : " (no backup)", steps, states);
        }
    }
}

}  // namespace
}  // namespace qwz::platform
