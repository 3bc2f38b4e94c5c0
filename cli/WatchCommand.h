// `qwz watch`: keeps folders at a version until stopped. Each file is
// converted with the request `qwz convert` makes from the same options and
// reported as `qwz convert` reports it (a line, or a JSON object a line;
// failures on standard error); files skipped are not told, and the watch
// says nothing else but, once, what it watches and how.
#pragma once

#include "cli/CommandLine.h"
#include "cli/Run.h"
#include "platform/FileOps.h"
#include "platform/FolderEvents.h"
#include "watch/Settling.h"

#include <functional>
#include <memory>

namespace qwz::cli {

// Runs the watch until a signal or a closed standard output stops it, and
// returns the exit code (as RunCli's). `events` and `now` are the system's
// unless given.
int RunWatchCommand(const Options& options, Console& console, platform::FileOps& ops,
                    std::unique_ptr<platform::FolderEvents> events = platform::SystemFolderEvents(),
                    std::function<watch::TimePoint()> now = {});

}  // namespace qwz::cli
