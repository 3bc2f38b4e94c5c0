#include "platform/SafeReplace.h"

#include "platform/FileRead.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>

namespace qwz::platform {
namespace {

constexpr int kTemporaryNameAttempts = 16;
constexpr int kRemoveAttempts = 3;

uint32_t NextTag() {
    static std::atomic<uint32_t> counter{0};
    static const uint32_t seed = [] {
        std::random_device rd;
        return uint32_t(rd()) ^
               uint32_t(std::chrono::steady_clock::now().time_since_epoch().count());
    }();
    return seed + 0x9E3779B9u * ++counter;
}

// A file just written can be held for a moment by a virus scanner or an
// indexer; a few tries keep it from being left behind.
bool RemoveWithRetries(FileOps& ops, const std::filesystem::path& path, std::string& error) {
    for (int attempt = 1;; ++attempt) {
        if (ops.Remove(path, error)) return true;
        if (attempt == kRemoveAttempts) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// Owns the temporary file until it has taken the original's name: on every
// other way out it closes and removes it.
class TemporaryFile {
public:
    explicit TemporaryFile(FileOps& ops) : ops_(ops) {}
    ~TemporaryFile() {
        std::string ignored;
        if (file.open()) ops_.Close(file, ignored);
        if (!path.empty() && !handedOver) RemoveWithRetries(ops_, path, ignored);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    std::filesystem::path path;
    FileHandle file;
    bool handedOver = false;

private:
    FileOps& ops_;
};

bool Fail(std::string& reason, std::string text) {
    reason = std::move(text);
    return false;
}

// Step 1: the new bytes complete on disk under a temporary name, checked.
bool WriteTemporary(const std::filesystem::path& target, const std::vector<uint8_t>& bytes,
                    const ReplaceOptions& options, TemporaryFile& temp, std::string& reason,
                    FileOps& ops) {
    std::string error;
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        std::filesystem::path candidate = TemporaryNameBeside(target, NextTag());
        bool exists = false;
        if (ops.CreateNew(candidate, target, temp.file, exists, error)) {
            temp.path = candidate;
            break;
        }
        if (!exists) return Fail(reason, error);
    }
    if (!temp.file.open()) return Fail(reason, error);

    const size_t chunk = std::max<size_t>(options.writeChunk, 1);
    for (size_t done = 0; done < bytes.size();) {
        size_t written = 0;
        size_t want = std::min(chunk, bytes.size() - done);
        if (!ops.Write(temp.file, bytes.data() + done, want, written, error)) return Fail(reason, error);
        if (written == 0 || written > want)
            return Fail(reason, "nie można zapisać pliku tymczasowego " + PathForMessage(temp.path));
        done += written;
    }
    if (!ops.Flush(temp.file, error)) return Fail(reason, error);
    if (!ops.Close(temp.file, error)) return Fail(reason, error);

    std::vector<uint8_t> back;
    if (!ops.ReadAll(temp.path, back, error)) return Fail(reason, error);
    if (back != bytes)
        return Fail(reason, "plik tymczasowy " + PathForMessage(temp.path) +
                                " różni się od danych, które zostały zapisane");
    // What is on the disk is what is in memory: the check reads the copy in
    // memory, and the one read back goes first, so that a large file's
    // check does not hold three copies of it at once.
    std::vector<uint8_t>().swap(back);
    if (options.verify && !options.verify(bytes, error)) return Fail(reason, error);
    return true;
}

std::string BackupTaken(const std::filesystem::path& backup) {
    return "kopia zapasowa " + PathForMessage(backup) +
           " już istnieje (usuń ją lub przenieś, aby przekonwertować plik ponownie)";
}

}  // namespace

bool FileOps::ReadAll(const std::filesystem::path& path, std::vector<uint8_t>& out,
                      std::string& error) {
    std::string why;
    if (ReadWholeFile(path, out, &why)) return true;
    error = "nie można odczytać pliku tymczasowego " + PathForMessage(path) + ": " + why;
    return false;
}

std::filesystem::path TemporaryNameBeside(const std::filesystem::path& target, uint32_t tag) {
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", unsigned(tag));
    std::filesystem::path name = target.filename();
    name += std::filesystem::path("." + std::string(hex) + ".tmp");
    return target.parent_path() / name;
}

bool IsTemporaryNameOf(const std::filesystem::path& name, const std::filesystem::path& target) {
    // Native strings: no conversion that could fail on a name the locale
    // cannot spell.
    using Char = std::filesystem::path::value_type;
    const std::filesystem::path::string_type n = name.filename().native();
    const std::filesystem::path::string_type t = target.filename().native();
    // "<name>." + 8 hexadecimal digits + ".tmp"
    const std::filesystem::path::string_type tmp = std::filesystem::path(".tmp").native();
    if (n.size() != t.size() + 13 || n.compare(0, t.size(), t) != 0) return false;
    if (n[t.size()] != Char('.') || n.compare(t.size() + 9, 4, tmp) != 0) return false;
    return std::all_of(n.begin() + long(t.size()) + 1, n.begin() + long(t.size()) + 9, [](Char c) {
        return (c >= Char('0') && c <= Char('9')) || (c >= Char('a') && c <= Char('f'));
    });
}

void RemoveStaleTemporaries(const std::filesystem::path& target) {
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code ignored;
        if (IsTemporaryNameOf(it->path(), target) && it->is_regular_file(ignored))
            std::filesystem::remove(it->path(), ignored);
    }
}

bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

std::string PathForMessage(const std::filesystem::path& path) {
    std::u8string u8 = path.u8string();
    return "\"" + std::string(u8.begin(), u8.end()) + "\"";
}

bool ReplaceFileSafely(const std::filesystem::path& target, const std::vector<uint8_t>& bytes,
                       const ReplaceOptions& options, std::string& reason, FileOps& ops) {
    reason.clear();
    if (ops.IsReadOnly(target))
        return Fail(reason, "plik " + PathForMessage(target) + " jest tylko do odczytu");

    if (ops.IsInUse(target, reason)) return false;

    RemoveStaleTemporaries(target);
    TemporaryFile temp(ops);
    if (!WriteTemporary(target, bytes, options, temp, reason, ops)) return false;

    // Step 2: the backup name points at the original. Linking leaves the
    // original under its own name the whole time; the rename is for file
    // systems without links. Neither replaces a file that has the name
    // already: their refusal is the test.
    enum class Kept { Nothing, Linked, Moved } kept = Kept::Nothing;
    std::string error;
    if (!options.backup.empty()) {
        switch (ops.Link(target, options.backup, error)) {
        case NoReplace::Done: kept = Kept::Linked; break;
        case NoReplace::NameTaken:
            // A conversion stopped between this step and the next leaves the
            // backup name linked to the original itself: that is the backup
            // this conversion would make, not an earlier one to protect.
            if (!IsSameFile(options.backup, target)) return Fail(reason, BackupTaken(options.backup));
            kept = Kept::Linked;
            break;
        case NoReplace::Failed: return Fail(reason, error);
        case NoReplace::Unsupported:
            switch (ops.RenameNoReplace(target, options.backup, error)) {
            case NoReplace::Done: kept = Kept::Moved; break;
            case NoReplace::NameTaken: return Fail(reason, BackupTaken(options.backup));
            case NoReplace::Unsupported:
            case NoReplace::Failed: return Fail(reason, error);
            }
            break;
        }
    }

    // Step 3: the new file takes the original's name in one step.
    if (!ops.RenameReplace(temp.path, target, error)) {
        std::string undo;
        if (kept == Kept::Linked && !RemoveWithRetries(ops, options.backup, undo))
            error += "; " + undo;
        if (kept == Kept::Moved && ops.RenameNoReplace(options.backup, target, undo) != NoReplace::Done)
            error += "; oryginał pozostał pod nazwą " + PathForMessage(options.backup) + ": " + undo;
        return Fail(reason, error);
    }
    temp.handedOver = true;

    // The new names are in place; a folder that cannot be synced leaves them
    // as they are, which is what a later flush by the system would give.
    std::string ignored;
    std::filesystem::path folder = target.parent_path();
    ops.SyncFolder(folder.empty() ? std::filesystem::path(".") : folder, ignored);
    return true;
}

}  // namespace qwz::platform
