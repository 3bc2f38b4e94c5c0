// Test-only file-system steps that pass every call to another FileOps (the
// system's own unless given) and
// can make one chosen call fail, to show that a replacement survives a
// failure at each step, or pause before a step (the `before` hook), to
// force the timing of two conversions or of a change to the file. Calls
// that can fail are counted from 1 in the order they are made.
#pragma once

#include "platform/FileOps.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace qwz::test {


class FaultyFileOps final : public platform::FileOps {
public:
    // failAt: the number of the call that fails (0: none fails).
    explicit FaultyFileOps(int failAt = 0, platform::FileOps& inner = platform::SystemFileOps())
        : failAt_(failAt), inner_(inner) {}

    // Link answers Unsupported every time, as on a file system without hard
    // links, so the backup is made as a copy instead.
    bool noLinks = false;
    // Exchange answers Unsupported, as on a file system that cannot swap
    // two names, so the new file is moved over the original instead.
    bool noExchange = false;
    // Each write writes at most this many bytes (a short write).
    size_t shortWrite = 0;
    // Every byte read comes back with its lowest bit flipped, as from a
    // disk that does not give back what was written.
    bool flipReads = false;
    // Files are seen in place (MapToRead) as by the system's own steps;
    // otherwise they are read, a call at a time that can fail.
    bool mapping = false;
    // What the failing step's error is, as the system's steps would tell it.
    StatusCode injected = StatusCode::DiskFull;
    // Called with the step's name before every call, queries included.
    std::function<void(const std::string& step)> before;

    int calls() const { return int(log_.size()); }
    bool failed() const { return failed_; }
    // The steps that can fail, in order ("CreateNew", "Write", ...); the
    // failed one ends in "!".
    const std::vector<std::string>& log() const { return log_; }

    platform::NameKind Examine(const std::filesystem::path& path, bool follow,
                               platform::FileState* state) override {
        Hook("Examine");
        return real().Examine(path, follow, state);
    }
    Reason WhyMissing(const std::filesystem::path& path) override {
        Hook("WhyMissing");
        return real().WhyMissing(path);
    }
    bool LinkTarget(const std::filesystem::path& path, std::filesystem::path& target) override {
        Hook("LinkTarget");
        return real().LinkTarget(path, target);
    }
    bool IsReadOnly(const std::filesystem::path& path) override {
        Hook("IsReadOnly");
        return real().IsReadOnly(path);
    }
    bool IsInUse(const std::filesystem::path& path, Reason& reason) override {
        Hook("IsInUse");
        return real().IsInUse(path, reason);
    }
    size_t NameLimit(const std::filesystem::path& folder) override {
        Hook("NameLimit");
        return real().NameLimit(folder);
    }
    bool ReadFolder(const std::filesystem::path& folder, std::vector<platform::FolderEntry>& entries,
                    Reason& error) override {
        Hook("ReadFolder");
        return real().ReadFolder(folder, entries, error);
    }
    bool OpenToRead(const std::filesystem::path& path, platform::FileHandle& file,
                    Reason& error) override {
        if (Inject("OpenToRead", error)) return false;
        return real().OpenToRead(path, file, error);
    }
    platform::LockResult TryLock(platform::FileHandle file, platform::FileLock& lock,
                                 Reason& error) override {
        if (Inject("TryLock", error)) return platform::LockResult::Failed;
        return real().TryLock(file, lock, error);
    }
    void Unlock(platform::FileLock& lock) override { real().Unlock(lock); }
    platform::Writers WatchWriters(platform::FileHandle file) override { return real().WatchWriters(file); }
    bool WriterCame(platform::FileHandle file) override { return real().WriterCame(file); }
    bool StateOf(platform::FileHandle file, platform::FileState& state, Reason& error) override {
        Hook("StateOf");
        return real().StateOf(file, state, error);
    }
    bool ReadAt(platform::FileHandle file, uint64_t offset, uint8_t* data, size_t size, size_t& got,
                Reason& error) override {
        if (Inject("ReadAt", error)) return false;
        if (!real().ReadAt(file, offset, data, size, got, error)) return false;
        if (flipReads)
            for (size_t i = 0; i < got; ++i) data[i] ^= 1;
        return true;
    }
    bool MapToRead(platform::FileHandle file, uint64_t size, platform::FileView& view) override {
        Hook("MapToRead");
        return mapping && real().MapToRead(file, size, view);
    }
    bool CreateNew(const std::filesystem::path& path, const std::filesystem::path& like,
                   platform::FileHandle& file, bool& exists, Reason& error) override {
        if (Inject("CreateNew", error)) return exists = false;
        return real().CreateNew(path, like, file, exists, error);
    }
    void CarryIdentity(platform::FileHandle from, platform::FileHandle to, std::vector<std::string>& missed) override {
        real().CarryIdentity(from, to, missed);
    }
    bool Write(platform::FileHandle file, const uint8_t* data, size_t size, size_t& written,
               Reason& error) override {
        if (Inject("Write", error)) return false;
        if (shortWrite && size > shortWrite) size = shortWrite;
        return real().Write(file, data, size, written, error);
    }
    void StartWriteback(platform::FileHandle file, uint64_t offset, uint64_t size) override {
        real().StartWriteback(file, offset, size);
    }
    bool Flush(platform::FileHandle file, Reason& error) override {
        if (Inject("Flush", error)) return false;
        return real().Flush(file, error);
    }
    bool Close(platform::FileHandle& file, Reason& error) override {
        // A failed close still releases the handle, as the system's does.
        bool fail = Inject("Close", error);
        Reason ignored;
        bool ok = real().Close(file, fail ? ignored : error);
        return ok && !fail;
    }
    bool ReadAll(const std::filesystem::path& path, std::vector<uint8_t>& out,
                 Reason& error) override {
        if (Inject("ReadAll", error)) return false;
        return real().ReadAll(path, out, error);
    }
    platform::NoReplace Link(const std::filesystem::path& existing,
                             const std::filesystem::path& newName, Reason& error) override {
        if (Inject("Link", error)) return platform::NoReplace::Failed;
        if (noLinks) return platform::NoReplace::Unsupported;
        return real().Link(existing, newName, error);
    }
    platform::NoReplace RenameNoReplace(const std::filesystem::path& from,
                                        const std::filesystem::path& to,
                                        Reason& error) override {
        if (Inject("RenameNoReplace", error)) return platform::NoReplace::Failed;
        return real().RenameNoReplace(from, to, error);
    }
    bool RenameReplace(const std::filesystem::path& from, const std::filesystem::path& to,
                       Reason& error) override {
        if (Inject("RenameReplace", error)) return false;
        return real().RenameReplace(from, to, error);
    }
    platform::NoReplace Exchange(const std::filesystem::path& a, const std::filesystem::path& b,
                                 Reason& error) override {
        if (Inject("Exchange", error)) return platform::NoReplace::Failed;
        if (noExchange) return platform::NoReplace::Unsupported;
        return real().Exchange(a, b, error);
    }
    platform::NoReplace RenameHeld(platform::FileHandle file, const std::filesystem::path& to,
                                   Reason& error) override {
        if (Inject("RenameHeld", error)) return platform::NoReplace::Failed;
        return real().RenameHeld(file, to, error);
    }
    bool FlushFiles(const std::vector<std::filesystem::path>& paths, Reason& error) override {
        if (Inject("FlushFiles", error)) return false;
        return real().FlushFiles(paths, error);
    }
    bool SyncFolder(const std::filesystem::path& folder, Reason& error) override {
        if (Inject("SyncFolder", error)) return false;
        return real().SyncFolder(folder, error);
    }
    bool Remove(const std::filesystem::path& path, Reason& error) override {
        if (Inject("Remove", error)) return false;
        return real().Remove(path, error);
    }
    bool CanReplaceOpenFile() const override { return real().CanReplaceOpenFile(); }

private:
    platform::FileOps& real() const { return inner_; }

    void Hook(const char* step) {
        if (before) before(step);
    }

    bool Inject(const char* step, Reason& error) {
        Hook(step);
        // Replacements on several threads share one log.
        std::lock_guard<std::mutex> lock(logMutex_);
        log_.push_back(step);
        if (int(log_.size()) != failAt_) return false;
        log_.back() += "!";
        failed_ = true;
        error = Reason(injected, std::string("wstrzyknięty błąd: ") + step);
        return true;
    }

    std::mutex logMutex_;
    int failAt_;
    platform::FileOps& inner_;
    bool failed_ = false;
    std::vector<std::string> log_;
};

}  // namespace qwz::test
