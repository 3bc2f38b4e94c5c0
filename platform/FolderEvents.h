// The system's notice of changes under watched folders (inotify on Linux,
// ReadDirectoryChangesW on Windows), for a program that keeps folders
// converted: it hears which names changed instead of reading every folder
// again and again. A notice says only where to look; what a name holds is
// always looked at afresh, and where notices were lost (their queue
// overflowed) or the system gives none (a network share), the folders are
// read again whole.
#pragma once

#include "bytes/StatusCode.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <vector>

namespace qwz::platform {

class FolderEvents {
public:
    virtual ~FolderEvents() = default;

    // Starts watching `root` and every folder under it, those there now and
    // those made later (a folder made or moved in is watched as soon as its
    // notice is read). Symbolic links and junctions are never followed: a
    // link to a folder elsewhere is not watched through. False with a
    // reason when the system refuses (no notices there, too many watches):
    // the caller then reads the folders on a timer. A caller watches before
    // it first reads the folders, so that nothing made in between is missed
    // (and Wine hears a folder below the root only once it has been read).
    virtual bool Watch(const std::filesystem::path& root, Reason& reason) = 0;

    enum class Result {
        Changed,     // `changed` got at least one name
        TimedOut,    // nothing within the time given
        Overflowed,  // notices were lost: every watched folder must be read again
        Failed,      // the notices stopped (a watched root went away): read again, and watch anew
    };

    // Waits at most `timeout` for notices, and appends to `changed` the full
    // path of each name made, written, closed after writing, renamed into
    // place or removed under the watched folders: files and folders alike,
    // each once per call. A folder that appears is named itself, its
    // content not (the caller reads it). Returns early, with what it has,
    // once a notice has come; never waits longer than `timeout`, so that a
    // caller can look at its stop flag between calls.
    virtual Result Wait(std::chrono::milliseconds timeout, std::vector<std::filesystem::path>& changed) = 0;
};

// The system's notices; nullptr where it gives none.
std::unique_ptr<FolderEvents> SystemFolderEvents();

}  // namespace qwz::platform
