#include "platform/OriginalFile.h"

#include "platform/LargeBuffer.h"
#include "platform/MemoryLimit.h"

#include <algorithm>
#include <thread>

namespace qwz::platform {
namespace {

constexpr std::chrono::milliseconds kLockPoll{25};
// A name that keeps leading to a different file each time it is locked is
// being replaced over and over; a few rounds are enough for one conversion
// by another program to end.
constexpr int kReopenAttempts = 8;
constexpr size_t kReadChunk = size_t(8) << 20;

bool Fail(std::string& reason, std::string text) {
    reason = std::move(text);
    return false;
}

}  // namespace

std::string ChangedDuringConversion(const std::filesystem::path& path) {
    return "plik " + PathForMessage(path) +
           " zmienił się w trakcie konwersji (zapisuje go inny program?); nie został zastąpiony";
}

OriginalFile::~OriginalFile() { Close(); }

void OriginalFile::Close() {
    std::string ignored;
    if (file_.open()) ops_.Close(file_, ignored);
}

bool OriginalFile::Open(const std::filesystem::path& path, std::string& reason,
                        std::chrono::milliseconds wait) {
    Close();
    path_ = path;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (int replaced = 0;;) {
        switch (ops_.Examine(path, true, nullptr)) {
        case NameKind::Missing: return Fail(reason, "plik nie istnieje");
        case NameKind::Regular: break;
        default: return Fail(reason, "to nie jest zwykły plik");
        }
        std::string error;
        if (!ops_.OpenToRead(path, file_, error)) return Fail(reason, error);
        const LockResult lock = ops_.TryLock(file_, error);
        if (lock == LockResult::Failed) {
            Close();
            return Fail(reason, error);
        }
        if (lock == LockResult::Held) {
            // Not held open while waiting: an open file cannot be replaced
            // on Windows, and the conversion that holds the lock has to.
            Close();
            if (std::chrono::steady_clock::now() >= deadline)
                return Fail(reason, "plik jest właśnie konwertowany przez inny program");
            std::this_thread::sleep_for(kLockPoll);
            continue;
        }

        // The name must still lead to the file that is locked: a conversion
        // that held the lock may have put its new file in place meanwhile.
        FileState held, named;
        if (!ops_.StateOf(file_, held, error)) {
            Close();
            return Fail(reason, error);
        }
        if (ops_.Examine(path, true, &named) == NameKind::Regular && named.SameFile(held)) {
            state_ = held;
            return true;
        }
        Close();
        if (++replaced == kReopenAttempts) return Fail(reason, ChangedDuringConversion(path));
    }
}

bool OriginalFile::Read(std::vector<uint8_t>& out, std::string& reason) {
    std::string error;
    FileState before;
    if (!ops_.StateOf(file_, before, error)) return Fail(reason, error);
    if (!FitsInMemory(before.size, &reason)) return false;

    out.clear();
    out.reserve(size_t(before.size));
    AdviseLargeBuffer(out.data(), out.capacity());
    out.resize(size_t(before.size));
    size_t got = 0;
    for (;;) {
        if (got == out.size()) {
            // The file may have grown since its size was taken: look one
            // byte further, which the check below then turns down.
            uint8_t probe = 0;
            size_t n = 0;
            if (!ops_.ReadAt(file_, got, &probe, 1, n, error)) return Fail(reason, error);
            if (n != 0) return Fail(reason, ChangedDuringConversion(path_));
            break;
        }
        size_t n = 0;
        const size_t want = std::min(kReadChunk, out.size() - got);
        if (!ops_.ReadAt(file_, got, out.data() + got, want, n, error)) return Fail(reason, error);
        if (n == 0) break;
        got += n;
    }
    out.resize(got);

    FileState after;
    if (!ops_.StateOf(file_, after, error)) return Fail(reason, error);
    if (!(after == before) || got != before.size) return Fail(reason, ChangedDuringConversion(path_));
    state_ = before;
    return true;
}

bool OriginalFile::Unchanged(std::string& reason) {
    FileState held, named;
    std::string error;
    if (!ops_.StateOf(file_, held, error)) return Fail(reason, error);
    if (ops_.Examine(path_, true, &named) != NameKind::Regular || !(named == state_) ||
        !(held == state_))
        return Fail(reason, ChangedDuringConversion(path_));
    return true;
}

}  // namespace qwz::platform
