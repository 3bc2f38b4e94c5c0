// The system's notices of changes under a watched folder: names made,
// written, renamed into place and removed, in folders there at the start
// and in those made later, and nothing from a folder reached only through
// a link.
#include "platform/FolderEvents.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <system_error>

namespace qwz::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class Watched {
public:
    explicit Watched(FolderEvents& events) : events_(events) {}

    // Waits (a few seconds at most) until `path` has been named; false if it never was.
    bool Hears(const fs::path& path) {
        for (int i = 0; i < 50; ++i) {
            if (std::find(heard_.begin(), heard_.end(), path) != heard_.end()) return true;
            const FolderEvents::Result r = events_.Wait(100ms, heard_);
            EXPECT_NE(r, FolderEvents::Result::Failed);
        }
        for (const fs::path& p : heard_) ADD_FAILURE() << "heard " << p.string();
        return false;
    }
    // Reads every notice there is now.
    const std::vector<fs::path>& Drain() {
        while (events_.Wait(300ms, heard_) == FolderEvents::Result::Changed) {}
        return heard_;
    }
    void Forget() { heard_.clear(); }

private:
    FolderEvents& events_;
    std::vector<fs::path> heard_;
};

void Write(const fs::path& path, const char* text) { std::ofstream(path, std::ios::binary) << text; }

TEST(FolderEvents, NamesWhatChangesInEveryFolderBelowTheRootAndNothingThroughALink) {
    const fs::path base = fs::temp_directory_path() / ("qwz-events-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::remove_all(base);
    const fs::path root = base / "projekty";
    const fs::path outside = base / "gdzie indziej";
    fs::create_directories(root / "hala");
    fs::create_directories(outside);

    std::unique_ptr<FolderEvents> events = SystemFolderEvents();
    ASSERT_NE(events, nullptr);
    Reason reason;
    ASSERT_TRUE(events->Watch(root, reason)) << reason.str();
    Watched watched(*events);
    // A watch is followed by a reading of every folder (what is there at
    // the start must be converted too); Wine hears the folders below only
    // once they have been read.
    for (const auto& entry : fs::recursive_directory_iterator(root)) (void)entry;

    Write(root / "a.qwz", "QWZ");
    EXPECT_TRUE(watched.Hears(root / "a.qwz"));
    Write(root / "hala" / "b.qwz", "QWZ");
    EXPECT_TRUE(watched.Hears(root / "hala" / "b.qwz")) << "a folder there at the start";

    // A folder made later is named, and then watched.
    fs::create_directory(root / "nowy");
    EXPECT_TRUE(watched.Hears(root / "nowy"));
    Write(root / "nowy" / "c.qwz", "QWZ");
    EXPECT_TRUE(watched.Hears(root / "nowy" / "c.qwz")) << "a folder made after the watch began";

    // A save by rename from a working name, and a removal.
    Write(root / "~$d.tmp", "QWZ");
    fs::rename(root / "~$d.tmp", root / "d.qwz");
    EXPECT_TRUE(watched.Hears(root / "d.qwz"));
    fs::remove(root / "a.qwz");
    EXPECT_TRUE(watched.Hears(root / "a.qwz"));

    // A link to a folder elsewhere is named as a link is, never watched through.
    std::error_code linked;
    fs::create_directory_symlink(outside, root / "skrot", linked);
    if (!linked) {
        watched.Drain();
        watched.Forget();
        Write(outside / "e.qwz", "QWZ");
        for (const fs::path& p : watched.Drain()) EXPECT_EQ(p.filename().string().find("e.qwz"), std::string::npos) << p;
    }
    events.reset();
    fs::remove_all(base);
}

}  // namespace
}  // namespace qwz::platform
