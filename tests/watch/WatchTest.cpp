// A watch on a real folder tree, with the system's notices (or none: read
// on the timer; or every notice lost: read again each round) and a clock
// moved by hand: what arrives in every way a program saves is converted
// once, when complete, as a single conversion of the whole file would
// convert it; what is not to be touched is not, and nothing is told twice.
#include "cli/SceneFile.h"
#include "engine/Conversion.h"
#include "support/SymbolicLink.h"
#include "support/TempDir.h"
#include "watch/Watcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <utility>
#include <map>

namespace fs = std::filesystem;

namespace qwz::watch {
namespace {

using namespace std::chrono_literals;
using test::TempDir;

enum class Notices { System, None, AllLost };

// Notices that are always lost: the watch must read everything again.
class LostNotices : public platform::FolderEvents {
public:
    bool Watch(const fs::path&, Reason&) override { return true; }
    Result Wait(std::chrono::milliseconds, std::vector<fs::path>&) override { return Result::Overflowed; }
};

class WatchTest : public testing::TestWithParam<Notices> {
protected:
    void SetUp() override {
        root = dir.path() / "projekt";
        fs::create_directories(root / "sub");
        settings.folders = {root};
        settings.request.target = 203;
        settings.settle = 3s;
        settings.poll = 3s;
        settings.jobs = 1;  // one after another, so that a stop falls between two files
    }

    void Start() {
        std::unique_ptr<platform::FolderEvents> events;
        if (GetParam() == Notices::System) events = platform::SystemFolderEvents();
        if (GetParam() == Notices::AllLost) events = std::make_unique<LostNotices>();
        ASSERT_EQ(events != nullptr, GetParam() != Notices::None);
        watcher = std::make_unique<Watcher>(
            settings, platform::SystemFileOps(), std::move(events), [this] { return now; },
            [this](const fs::path& path, const ConversionOutcome& o) { told.push_back({path.filename(), o.status}); });
        Reason why;
        ASSERT_TRUE(watcher->Start(why)) << why.str();
    }

    // The notices that have come, then a settle time passes (twice: a
    // folder read on the timer sees a file first, then sees it still).
    void Pass(const std::function<bool()>& stop = [] { return false; }) {
        for (int twice = 0; twice < 2; ++twice) {
            for (int round = 0; round < 4; ++round) watcher->Step(50ms, stop);
            now += settings.settle + 1ms;
            watcher->Step(0ms, stop);
        }
    }

    // Converted as one conversion of `bytes` by themselves converts them.
    std::vector<uint8_t> Reference(const std::vector<uint8_t>& bytes) {
        const fs::path ref = dir.write("ref.qwz", bytes);
        EXPECT_EQ(ConvertQwz(ref, settings.request).status, ConversionStatus::Converted);
        return TempDir::read(ref);
    }

    // What was told since the last time, by name (files converted at once
    // are told as each is done).
    std::vector<std::pair<fs::path, ConversionStatus>> TakeTold() {
        std::sort(told.begin(), told.end());
        return std::exchange(told, {});
    }

    TempDir dir;
    fs::path root;
    WatchSettings settings;
    TimePoint now{};
    std::unique_ptr<Watcher> watcher;
    std::vector<std::pair<fs::path, ConversionStatus>> told;
};

using Told = std::vector<std::pair<fs::path, ConversionStatus>>;
constexpr ConversionStatus kConverted = ConversionStatus::Converted;
constexpr ConversionStatus kFailed = ConversionStatus::Failed;

TEST_P(WatchTest, ConvertsWhatArrivesOnceWhenCompleteAndLeavesTheRestAlone) {
    const std::vector<uint8_t> full = test::BuildVersion204(test::FullScene());
    const std::vector<uint8_t> converted = Reference(full);
    dir.write("projekt/na-starcie.qwz", full);
    dir.write("projekt/stary_org.qwz", full);    // a kept original (its file gone): never touched
    dir.write("projekt/gotowy.qwz", converted);  // already at the target
    fs::create_directories(dir.path() / "obcy");
    dir.write("obcy/zewnatrz.qwz", full);
    const bool linked = test::MakeSymbolicLink("../obcy", root / "obcy");
    const fs::file_time_type readyTime = fs::last_write_time(root / "gotowy.qwz");
    Start();
    Pass();
    EXPECT_EQ(TakeTold(), (Told{{"na-starcie.qwz", kConverted}}));
    EXPECT_EQ(TempDir::read(root / "na-starcie.qwz"), converted);
    EXPECT_EQ(TempDir::read(root / "na-starcie_org.qwz"), full);

    // Saved under a working name, then renamed into place.
    dir.write("projekt/sub/~$zapisany.qwz", full);
    dir.write("projekt/sub/zapisany.tmp", full);
    Pass();
    EXPECT_EQ(TakeTold(), Told{}) << "working names are never converted";
    fs::rename(root / "sub" / "~$zapisany.qwz", root / "sub" / "zapisany.qwz");
    // Written slowly: half, a pause longer than the settle time with the
    // file still open, the rest.
    const size_t half = full.size() / 2;
    {
        std::ofstream slow(root / "powoli.qwz", std::ios::binary);
        slow.write(reinterpret_cast<const char*>(full.data()), std::streamsize(half)).flush();
        Pass();
        slow.write(reinterpret_cast<const char*>(full.data() + half), std::streamsize(full.size() - half));
    }
    // A damaged file is told once, however long it stays, and looked at
    // again when it changes.
    dir.write("projekt/zly.qwz", std::vector<uint8_t>(full.begin(), full.begin() + 40));
    Pass();
    Pass();
    EXPECT_EQ(TakeTold(), (Told{{"powoli.qwz", kConverted}, {"zapisany.qwz", kConverted}, {"zly.qwz", kFailed}}));
    EXPECT_EQ(TempDir::read(root / "powoli.qwz"), converted) << "the whole file, never a prefix";
    EXPECT_EQ(TempDir::read(root / "powoli_org.qwz"), full);
    EXPECT_EQ(TempDir::read(root / "sub" / "zapisany.qwz"), converted);
    EXPECT_EQ(TempDir::read(root / "sub" / "zapisany.tmp"), full);

    // Held open for writing by another handle: retried once released.
    {
        std::ofstream held(root / "trzymany.qwz", std::ios::binary);
        held.write(reinterpret_cast<const char*>(full.data()), std::streamsize(full.size())).flush();
        Pass();
        EXPECT_EQ(TakeTold(), Told{}) << "held: neither converted nor a failure";
    }
    dir.write("projekt/zly.qwz", full);
    Pass();
    EXPECT_EQ(TakeTold(), (Told{{"trzymany.qwz", kConverted}, {"zly.qwz", kConverted}}));

    // Stopped after the first of two files has started: that one finishes,
    // the other is not started, nothing is left behind; a restart takes it
    // and what arrived while no watch ran.
    dir.write("projekt/a-przed-stopem.qwz", full);
    dir.write("projekt/b-przed-stopem.qwz", full);
    // The stop comes once the first has begun (its temporary file is there,
    // or already its backup): a batch's files are told only once their
    // group is in place, so the first's report would come too late to keep
    // the second from starting.
    Pass([this] {
        if (fs::exists(root / "a-przed-stopem_org.qwz")) return true;
        for (const auto& e : fs::directory_iterator(root))
            if (e.path().filename().string().rfind("~qwz-", 0) == 0) return true;
        return false;
    });
    EXPECT_EQ(TakeTold(), (Told{{"a-przed-stopem.qwz", kConverted}}));
    EXPECT_EQ(TempDir::read(root / "b-przed-stopem.qwz"), full);
    watcher.reset();
    dir.write("projekt/sub/w-przerwie.qwz", full);
    Start();
    Pass();
    EXPECT_EQ(TakeTold(), (Told{{"b-przed-stopem.qwz", kConverted}, {"w-przerwie.qwz", kConverted}}));

    for (const auto& e : fs::recursive_directory_iterator(dir.path()))
        EXPECT_NE(e.path().filename().string().rfind("~qwz-", 0), 0u) << e.path();
    EXPECT_EQ(TempDir::read(root / "stary_org.qwz"), full);
    EXPECT_EQ(fs::last_write_time(root / "gotowy.qwz"), readyTime);
    EXPECT_EQ(TempDir::read(dir.path() / "obcy" / "zewnatrz.qwz"), full) << "a link out is never followed";
    EXPECT_FALSE(fs::exists(dir.path() / "obcy" / "zewnatrz_org.qwz"));
    if (linked) test::RemoveSymbolicLink(root / "obcy");
}

INSTANTIATE_TEST_SUITE_P(Notices, WatchTest, testing::Values(Notices::System, Notices::None, Notices::AllLost),
                         [](const testing::TestParamInfo<Notices>& p) {
                             return p.param == Notices::System ? "System" : p.param == Notices::None ? "None" : "AllLost";
                         });

}  // namespace
}  // namespace qwz::watch
