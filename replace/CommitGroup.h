// The last steps of many replacements taken together, so that what makes
// them durable is paid once per group instead of once per file.
//
// Each file's replacement writes, reads back and checks its new file under
// a temporary name as it would alone, then waits here. Its group then:
//   1. makes every new file's bytes durable at once (FileOps::FlushFiles:
//      one syncfs per file system, or a flush of each where there is none);
//   2. gives each original its backup name, then syncs each folder once;
//   3. for each file, checks once more that the original is unchanged and
//      unwritten and puts the new file in its place, then syncs each folder
//      once;
// and only then does each replacement return its outcome. At every moment
// the user's name, or a clearly named file beside it, holds each complete
// file, as for one file alone: no name leads to a new file before its bytes
// are durable, and no original leaves its name before its backup name is.
// A step that fails for one file fails that file only, whose temporary file
// and backup are then removed as they would be alone; a failure to make the
// bytes durable fails the whole group, and nothing of it is replaced.
// A single replacement is a group of one through the same steps.
#pragma once

#include "replace/Seam.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

namespace qwz::replace {

// One file's replacement, written and checked, waiting for its last steps.
class GroupMember {
public:
    virtual ~GroupMember() = default;
    // The new file under its temporary name, and its size.
    virtual const std::filesystem::path& NewFile() const = 0;
    virtual uint64_t Size() const = 0;
    // The folder whose names the steps change.
    virtual std::filesystem::path Folder() const = 0;
    // Gives the original its backup name where one is asked; true when a
    // name was made that a folder sync must make durable. Failing sets
    // `failed`.
    virtual bool KeepOriginal() = 0;
    // The last check and the new file put in place. Failing sets `failed`.
    virtual void TakeName() = 0;

    // Why this replacement did not happen; empty while it goes on.
    Reason failed;
};

// The steps above for `members`, on this thread. `durable`: their new files
// were each flushed already (a group of one), so step 1 is left out.
void CommitTogether(const std::vector<GroupMember*>& members, bool durable, FileOps& ops);

// The replacements of a batch, grouped as they come from several threads.
// A file's conversion begins (Begin) once one of `making` places is free,
// so that no more files are made at once than there are to make them;
// its replacement waits (Commit) and gives its place back meanwhile. The
// waiting ones are committed together when no file that has begun is still
// being made and no other may begin beside them (the run's threads are all
// taken, or none follows: NoMore), or when the group holds `most` files or
// `bytes` bytes, or `longest` after its first file began to wait, whichever
// comes first. The next group fills meanwhile, and may be committed beside
// it.
class CommitGroup {
public:
    // Large enough to pay the syncs once for many files, small enough to
    // bound the held originals (each an open file) and the memory of the
    // files waiting.
    static constexpr size_t kMostFiles = 128;
    static constexpr uint64_t kMostBytes = uint64_t(256) << 20;

    // A group is committed at the latest this long after its first file
    // began to wait, ready or not: files still being made then join the
    // next group. Each file's outcome (the window's progress, a line of
    // `qwz convert`) and a stop wait no longer than this for slower files,
    // and a file that never comes (a thread the system would not start) is
    // not waited for. A group of small files fills well within it.
    static constexpr std::chrono::milliseconds kLongestWait{250};

    CommitGroup(size_t making, size_t threads, FileOps& ops, size_t most = kMostFiles, uint64_t bytes = kMostBytes,
                std::chrono::milliseconds longest = kLongestWait);
    CommitGroup(const CommitGroup&) = delete;
    CommitGroup& operator=(const CommitGroup&) = delete;

    // Called by the thread that hands out the files, before file i: waits
    // for a free place to make it. `more`: another file may begin beside it
    // while it waits (false for the last file, and for one that runs alone).
    void Reserve(bool more);
    // Gives back a place that Reserve took for a file that does not begin.
    void Unreserve();
    // No file begins beside those begun until a later Reserve (the run is
    // stopped or ends, or the next file runs alone).
    void NoMore();

    // A reserved file begins and ends on the thread that makes it.
    void Begin();
    void End();

    // The replacement's last steps, taken with its group's; returns when
    // they are done (member.failed tells whether they failed).
    void Commit(GroupMember& member);

    // While a Scope lives, replacements on its thread commit through the
    // group (ReplaceFileSafely asks Current).
    class Scope {
    public:
        explicit Scope(CommitGroup& group);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        CommitGroup* previous_;
    };
    static CommitGroup* Current();

private:
    // The replacements that wait to be committed together.
    struct Batch {
        std::vector<GroupMember*> members;
        uint64_t bytes = 0;
        bool done = false;
        std::condition_variable committed;
    };

    bool Ready() const;
    void GiveBackPlace();

    const size_t making_, threads_, most_;
    const uint64_t bytes_;
    const std::chrono::milliseconds longest_;
    FileOps& ops_;
    std::mutex mutex_;
    std::condition_variable room_;   // a place to make a file is free
    std::condition_variable watch_;  // the open group may be ready
    size_t reserved_ = 0;   // places taken to make a file
    bool more_ = true;
    std::shared_ptr<Batch> open_;  // the group new replacements join
};

}  // namespace qwz::replace
