// Two conversions of one file at once, and a file that changes while it is
// converted, with the timing forced: the first conversion pauses before a
// chosen file-system step while the test acts, then goes on. Whatever
// happens, the user's name holds a complete file, the original is never
// lost, and a second conversion never takes the first one's files.
#include "app/ConvertFile.h"
#include "app/SampleFiles.h"
#include "model/Qwzsaveparams.h"
#include "support/FaultyFileOps.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>

namespace qwz {
namespace {

namespace fs = std::filesystem;
using test::FaultyFileOps;
using test::TempDir;

// Holds the first conversion before a step until the test lets it go.
class Pause {
public:
    void Reach() {
        std::unique_lock<std::mutex> lock(m_);
        reached_ = true;
        cv_.notify_all();
        cv_.wait(lock, [this] { return released_; });
    }
    void AwaitReached() {
        std::unique_lock<std::mutex> lock(m_);
        cv_.wait(lock, [this] { return reached_; });
    }
    void Release() {
        std::lock_guard<std::mutex> lock(m_);
        released_ = true;
        cv_.notify_all();
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool reached_ = false, released_ = false;
};

enum class Action {
    SecondGivesUp,  // a second conversion runs and waits in vain
    SecondWaits,    // a second conversion waits until the first has ended
    Append,         // another program adds to the file
    Rewrite,        // another program rewrites it in place, same size
    Cut,            // another program cuts it short
    PutAnother,     // another program puts a new file under its name
    OpenToWrite,    // another program opens it for writing and keeps it open
};

const char* const kChanged = "zmienił się w trakcie konwersji";
const char* const kWriterCame = "jest otwarty do zapisu w innym programie";

struct TimingCase {
    const char* name;
    const char* pauseAt;  // the first conversion stops before this step, once
    Action action;
    bool noExchange = false;     // names cannot be swapped: the new file is moved into place
    const char* says = kChanged;  // the first one's reason when another program got at the file
    bool backupStays = false;     // the original's last copy: the backup made of it stays
    // At the step's next call (the swap back) another program saves again or writes into the file:
    enum { Nothing, Saves, Writes } then = Nothing;
};

// The step that moves the new file into the name where it cannot be swapped in.
const char* const kMoveIn = platform::SystemFileOps().CanReplaceOpenFile() ? "RenameReplace" : "RenameNoReplace";

const TimingCase kCases[] = {
    // The backup is made and the temporary file written: the moment a second
    // conversion could take both for its own.
    {"a second conversion gives up while the first holds the file", "SyncFolder", Action::SecondGivesUp},
    {"a second conversion waits and then finds nothing to do", "CreateNew", Action::SecondWaits},
    {"the file grows while it is converted", "CreateNew", Action::Append},
    {"the file is rewritten in place", "Link", Action::Rewrite},
    // Loaded, not yet made: the meshes are read from it after the cut.
    {"the file is cut short once loaded", "CreateNew", Action::Cut},
    {"another file is put under its name", "Link", Action::PutAnother},
    // The last moment before the new file takes the name: where an open
    // file cannot be replaced (Windows) the original is aside by then, and
    // its lock keeps a second conversion out.
    {"a second conversion gives up while the first moves its file into place", kMoveIn, Action::SecondGivesUp, true},
    {"a second conversion gives up while the first swaps its file into place", "Exchange", Action::SecondGivesUp},
    // Another program's save after the last look: what is swapped out is not
    // the file that was read, and is swapped back.
    {"another file is put under its name at the last step", "Exchange", Action::PutAnother, false, kChanged, true},
    {"the file is rewritten in place at the last step", "Exchange", Action::Rewrite},
    // A program that opens the file for writing and has not changed it yet.
    {"the file is opened for writing at the last step", "Exchange", Action::OpenToWrite, false, kWriterCame},
#ifndef _WIN32
    {"the file is open for writing from the start", "OpenToRead", Action::OpenToWrite, false, kWriterCame},
    {"a second save comes before the swap back", "Exchange", Action::PutAnother, false, kChanged, true, TimingCase::Saves},
    {"a write into the new file comes before the swap back", "Exchange", Action::PutAnother, false, kChanged, true,
     TimingCase::Writes},
#else
    {"another file is put under its name once the original is aside", kMoveIn, Action::PutAnother, true, kChanged, true},
#endif
};

bool WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes, std::ios::openmode mode) {
    std::ofstream out(path, std::ios::binary | mode);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    return bool(out);
}

std::set<fs::path> Listing(const fs::path& folder) {
    std::set<fs::path> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
    return names;
}

TEST(ConcurrentConversion, ForcedTimingNeverLosesTheOriginal) {
    const std::vector<uint8_t> original = test::Sample204(3000);  // a few pages
    QWZ_REQUIRE_LAYOUTS(original, 203);
    for (const TimingCase& c : kCases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const fs::path file = dir.write("a.qwz", original);
        const fs::path backup = dir.path() / "a_org.qwz";

        Pause pause;
        FaultyFileOps first;
        first.noExchange = c.noExchange;
        first.mapping = true;  // seen in place where the system can, as by a user's conversion
        Pause again;
        int paused = 0;
        first.before = [&](const std::string& step) {
            if (step != c.pauseAt || paused == (c.then == TimingCase::Nothing ? 1 : 2)) return;
            (++paused == 1 ? pause : again).Reach();
        };
        int firstResult = -1;
        std::string firstReason;
        std::thread running([&] {
            const ConversionOutcome outcome = ConvertAndReport(file, RequestFor(203, {}), first);
            firstResult = ResultOf(outcome.status);
            firstReason = outcome.reason;
        });
        pause.AwaitReached();

        int secondResult = -1;
        std::string secondReason;
        std::vector<uint8_t> changed;  // what another program made of the file
        std::fstream writer;           // held open by another program
        switch (c.action) {
        case Action::SecondGivesUp:
        case Action::SecondWaits: {
            FaultyFileOps second;
            int looks = 0;
            second.before = [&](const std::string& step) {
                // The first try found the lock held and let the file go
                // again: the second look at the name lets the first run end.
                if (c.action == Action::SecondWaits && step == "Examine" && ++looks == 2) {
                    pause.Release();
                    running.join();
                }
            };
            const ConversionOutcome outcome = ConvertAndReport(file, RequestFor(203, {}), second);
            secondResult = ResultOf(outcome.status);
            secondReason = outcome.reason;
            break;
        }
        case Action::Append:
            changed = original;
            changed.insert(changed.end(), {1, 2, 3});
            if (!WriteFile(file, {1, 2, 3}, std::ios::app)) changed.clear();
            break;
        case Action::Rewrite:
            changed = original;
            changed[changed.size() - 1] ^= 0xFF;
            if (WriteFile(file, changed, std::ios::in | std::ios::out))
                fs::last_write_time(file, fs::last_write_time(file) + std::chrono::seconds(2));
            else
                changed.clear();
            break;
        case Action::Cut: {
            changed.assign(original.begin(), original.begin() + 16);  // as a program starting to save it anew
            std::error_code ec;
            fs::resize_file(file, changed.size(), ec);
            if (ec) changed.clear();
            break;
        }
        case Action::OpenToWrite:
            writer.open(file, std::ios::binary | std::ios::in | std::ios::out);
            if (writer.is_open()) changed = original;
            break;
        case Action::PutAnother: {
            changed = test::Empty203();
            const fs::path other = dir.write("other.qwz", changed);
            std::error_code ec;
            fs::rename(other, file, ec);
            if (ec) {
                fs::remove(other);
                changed.clear();
            }
            break;
        }
        }
        std::vector<uint8_t> newer;
        if (c.then != TimingCase::Nothing) {
            pause.Release();
            again.AwaitReached();
            newer = c.then == TimingCase::Saves ? std::vector<uint8_t>{'n', 'e', 'w'} : TempDir::read(file);
            newer.back() ^= 0xFF;
            if (c.then == TimingCase::Saves) fs::rename(dir.write("other.qwz", newer), file);
            else EXPECT_TRUE(WriteFile(file, newer, std::ios::in | std::ios::out));
            again.Release();
        }
        if (running.joinable()) {
            pause.Release();
            running.join();
        }

        // Where the system refuses other programs' writes while a file is
        // converted (Windows), nothing changed and the conversion completes.
        if (!changed.empty()) {
            EXPECT_EQ(firstResult, kConversionFailed);
            EXPECT_NE(firstReason.find(c.says), std::string::npos) << firstReason;
            EXPECT_EQ(TempDir::read(file), changed);
            if (!newer.empty()) {
                EXPECT_NE(firstReason.find("a (nowszy).qwz"), std::string::npos) << firstReason;
                EXPECT_EQ(TempDir::read(dir.path() / "a (nowszy).qwz"), newer);
                fs::remove(dir.path() / "a (nowszy).qwz");
            }
            if (c.backupStays) {
                EXPECT_EQ(TempDir::read(backup), original);
                EXPECT_EQ(Listing(dir.path()), (std::set<fs::path>{"a.qwz", "a_org.qwz"}));
            } else {
                EXPECT_EQ(Listing(dir.path()), (std::set<fs::path>{"a.qwz"}));
            }
            continue;
        }
        EXPECT_EQ(firstResult, kConverted) << firstReason;
        EXPECT_EQ(TempDir::read(file)[3], 203);
        EXPECT_EQ(TempDir::read(backup), original);
        EXPECT_EQ(Listing(dir.path()), (std::set<fs::path>{"a.qwz", "a_org.qwz"}));
        if (c.action == Action::SecondGivesUp) {
            EXPECT_EQ(secondResult, kConversionFailed);
            EXPECT_EQ(secondReason, "plik jest właśnie konwertowany przez inny program");
        }
        if (c.action == Action::SecondWaits) {
            EXPECT_EQ(secondResult, kSkipped) << secondReason;
        }
    }
}

}  // namespace
}  // namespace qwz
