// Keeping folders converted: every file under them that arrives or changes
// is converted once it is complete, by the one conversion every front end
// asks, with the request `qwz convert` would make. A file is complete when
// no program has it open for writing (where the system tells) and its
// state has not changed for the settle time. The system's notices of
// changes say where to look; where it gives none, the folders are read
// again on a timer. The clock and the notices come from the caller, so
// that a test drives time by hand.
#pragma once

#include "engine/Conversion.h"
#include "platform/FileOps.h"
#include "platform/FolderEvents.h"
#include "watch/Settling.h"
#include "watch/WatchedTree.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace qwz::watch {

// How long a file must stay unchanged before it is converted, unless asked
// otherwise: long enough for a program that pauses while it saves.
inline constexpr std::chrono::seconds kDefaultSettle{5};
// How often the folders are read again where the system gives no notices.
inline constexpr std::chrono::seconds kDefaultPoll{10};

struct WatchSettings {
    std::vector<std::filesystem::path> folders;
    ConversionRequest request;
    std::chrono::milliseconds settle = kDefaultSettle;
    std::chrono::milliseconds poll = kDefaultPoll;
    bool pollOnly = false;  // read the folders on the timer even where notices are given
    size_t jobs = 0;        // files converted at once; 0: one per processor
};

using Clock = std::function<TimePoint()>;
// A file's final outcome: converted, or failed for good (once per state of
// the file). Skips (already at the target) are not told.
using WatchReport = std::function<void(const std::filesystem::path&, const ConversionOutcome&)>;

class Watcher {
public:
    // `events` may be null: the folders are then read on the timer.
    Watcher(WatchSettings settings, platform::FileOps& ops, std::unique_ptr<platform::FolderEvents> events,
            Clock now, WatchReport report);

    // Starts watching the folders and reads them all, so that what arrived
    // while no watch ran is converted too. False with the reason when a
    // folder named is none.
    bool Start(Reason& reason);
    // Whether the folders are read on the timer rather than told by notices.
    bool Polling() const { return !events_; }

    // One round: the notices that come within `wait` are taken (polling:
    // the folders are read again when it is time, without waiting), then
    // the files that have settled are converted; none is started once
    // stop() says so, and those started finish.
    void Step(std::chrono::milliseconds wait, const std::function<bool()>& stop);
    // How long until something falls due, at most `limit`.
    std::chrono::milliseconds Idle(std::chrono::milliseconds limit) const;

private:
    void ScanAll();
    void Look(const std::filesystem::path& path);
    void WatchAnew();
    bool HeldForWriting(const std::filesystem::path& path);
    void ConvertDue(const std::function<bool()>& stop);
    void Settle(const std::filesystem::path& path, const platform::FileState& before, const ConversionOutcome& outcome);

    WatchSettings settings_;
    platform::FileOps& ops_;
    std::unique_ptr<platform::FolderEvents> events_;
    Clock now_;
    WatchReport report_;
    WatchedTree tree_;
    Settling settling_;
    TimePoint nextScan_{};
    std::mutex mutex_;  // the record and the report, for conversions on several threads
};

// Runs a watch until stop(): round after round, waiting for notices or for
// the next file to settle, never longer than a moment so that a stop is
// seen at once.
void RunWatch(Watcher& watcher, const std::function<bool()>& stop);

}  // namespace qwz::watch
