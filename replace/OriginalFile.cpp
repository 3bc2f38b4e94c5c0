#include "replace/OriginalFile.h"

#include "platform/LargeBuffer.h"
#include "platform/MemoryLimit.h"
#include "platform/Parallel.h"
#include "replace/TemporaryFile.h"

#include <algorithm>
#include <thread>

namespace qwz::replace {
namespace {

constexpr std::chrono::milliseconds kLockPoll{25};
// A name that keeps leading to a different file each time it is locked is
// being replaced over and over; a few rounds are enough for one conversion
// by another program to end.
constexpr int kReopenAttempts = 8;
constexpr size_t kReadChunk = size_t(8) << 20;
// From this size on a file is read in two halves at once.
constexpr size_t kTwoHalves = size_t(64) << 20;

bool Fail(Reason& reason, Reason text) {
    reason = std::move(text);
    return false;
}

}  // namespace

Reason ChangedDuringConversion(const std::filesystem::path& path) {
    return Reason(StatusCode::Changed, "plik " + PathForMessage(path) +
                                           " zmienił się w trakcie konwersji (zapisuje go inny program?); "
                                           "nie został zastąpiony");
}

Reason OpenForWriting(const std::filesystem::path& path) {
    return {StatusCode::InUse,
            "plik " + PathForMessage(path) + " jest otwarty do zapisu w innym programie; nie został zastąpiony"};
}

OriginalFile::~OriginalFile() { Close(); }

void OriginalFile::LetGoOfFile() {
    Reason ignored;
    if (file_.open()) ops_.Close(file_, ignored);
}

void OriginalFile::Close() {
    LetGoOfFile();
    ops_.Unlock(lock_);
    writers_ = Writers::Unknown;
}

bool OriginalFile::Open(const std::filesystem::path& path, Reason& reason,
                        std::chrono::milliseconds wait) {
    Close();
    path_ = path;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (int replaced = 0;;) {
        switch (ops_.Examine(path, true, nullptr)) {
        case NameKind::Missing: {
            // A conversion stopped between moving the file aside and putting
            // its new file under the name left it beside: it goes back,
            // under its lock, so that a conversion still at that moment is
            // waited for instead.
            const std::filesystem::path aside = OriginalLeftAside(path, ops_);
            Reason error;
            if (aside.empty() || !ops_.OpenToRead(aside, file_, error))
                return Fail(reason, Reason(StatusCode::NotFound, "plik nie istnieje"));
            const LockResult lock = ops_.TryLock(file_, lock_, error);
            const bool back = lock == LockResult::Locked && MoveWithoutReplacing(ops_, aside, path, error) == NoReplace::Done;
            Close();
            if (back) continue;
            if (lock != LockResult::Held) return Fail(reason, Reason(StatusCode::NotFound, "plik nie istnieje"));
            if (std::chrono::steady_clock::now() >= deadline)
                return Fail(reason, Reason(StatusCode::Locked, "plik jest właśnie konwertowany przez inny program"));
            std::this_thread::sleep_for(kLockPoll);
            continue;
        }
        case NameKind::Regular: break;
        default: return Fail(reason, Reason(StatusCode::NotRegularFile, "to nie jest zwykły plik"));
        }
        Reason error;
        if (!ops_.OpenToRead(path, file_, error)) return Fail(reason, error);
        const LockResult lock = ops_.TryLock(file_, lock_, error);
        if (lock == LockResult::Failed) {
            Close();
            return Fail(reason, error);
        }
        if (lock == LockResult::Held) {
            // Not held open while waiting: an open file cannot be replaced
            // on Windows, and the conversion that holds the lock has to.
            Close();
            if (std::chrono::steady_clock::now() >= deadline)
                return Fail(reason, Reason(StatusCode::Locked, "plik jest właśnie konwertowany przez inny program"));
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
            writers_ = ops_.WatchWriters(file_);
            return true;
        }
        Close();
        if (++replaced == kReopenAttempts) return Fail(reason, ChangedDuringConversion(path));
    }
}

bool OriginalFile::Read(std::vector<uint8_t>& out, Reason& reason) {
    Reason error;
    FileState before;
    if (!ops_.StateOf(file_, before, error)) return Fail(reason, error);
    if (std::string tooLarge; !FitsInMemory(before.size, &tooLarge))
        return Fail(reason, Reason(StatusCode::OutOfMemory, std::move(tooLarge)));

    // A large file is read in two halves at once: fresh pages are had and
    // filled about twice as fast on two cores as on one.
    const size_t size = size_t(before.size);
    const size_t parts = size >= kTwoHalves ? 2 : 1;
    const size_t half = parts == 2 ? (size / 2) & ~(kReadChunk - 1) : size;
    const size_t bounds[3] = {0, half, size};
    const uint64_t cost = parts == 2 ? size : 0;  // below that, all on this thread
    out.clear();
    out.reserve(size);
    ForEachInParallel(parts, cost, [&](size_t i) { AdviseLargeBuffer(out.data() + bounds[i], bounds[i + 1] - bounds[i]); });
    out.resize(size);
    size_t got[2] = {0, 0};
    Reason errors[2];
    bool read[2] = {false, parts == 1};
    ForEachInParallel(parts, cost, [&](size_t i) {
        for (size_t at = bounds[i]; at < bounds[i + 1];) {
            size_t n = 0;
            if (!ops_.ReadAt(file_, at, out.data() + at, std::min(kReadChunk, bounds[i + 1] - at), n, errors[i])) return;
            if (n == 0) break;  // the file is shorter than it was: the check below turns it down
            got[i] += n;
            at += n;
        }
        read[i] = true;
    });
    for (int i = 0; i < 2; ++i)
        if (!read[i]) return Fail(reason, errors[i]);
    const size_t total = got[0] == half ? half + got[1] : got[0];
    if (total == size) {
        // The file may have grown since its size was taken: look one byte
        // further, which the check below then turns down.
        uint8_t probe = 0;
        size_t n = 0;
        if (!ops_.ReadAt(file_, size, &probe, 1, n, error)) return Fail(reason, error);
        if (n != 0) return Fail(reason, ChangedDuringConversion(path_));
    }
    out.resize(total);

    FileState after;
    if (!ops_.StateOf(file_, after, error)) return Fail(reason, error);
    if (!(after == before) || total != before.size) return Fail(reason, ChangedDuringConversion(path_));
    state_ = before;
    return true;
}

bool OriginalFile::ReadInParts(size_t chunk, const std::function<bool(const uint8_t*, size_t, Reason&)>& part,
                               uint64_t& handed, Reason& reason) {
    std::vector<uint8_t> piece(chunk);
    for (handed = 0;;) {
        size_t got = 0;
        if (!ops_.ReadAt(file_, handed, piece.data(), piece.size(), got, reason)) return false;
        if (got == 0) return true;
        if (!part(piece.data(), got, reason)) return false;
        handed += got;
    }
}

bool OriginalFile::See(FileView& view, Reason& reason) {
    view.Reset();
    Reason error;
    FileState before, after;
    if (!ops_.StateOf(file_, before, error)) return Fail(reason, error);
    // Seen in place, the file takes address space, not memory of the
    // process's own; read instead (false below), Read counts it whole.
    if (std::string tooLarge; !FitsSeenInPlace(before.size, before.allocated, &tooLarge))
        return Fail(reason, Reason(StatusCode::OutOfMemory, std::move(tooLarge)));
    if (!ops_.MapToRead(file_, before.size, view)) return true;
    if (!ops_.StateOf(file_, after, error)) {
        view.Reset();
        return Fail(reason, error);
    }
    if (!(after == before)) {
        view.Reset();
        return Fail(reason, ChangedDuringConversion(path_));
    }
    state_ = before;
    return true;
}

bool OriginalFile::Unchanged(Reason& reason) {
    FileState held = state_, named;
    Reason error;
    if (file_.open() && !ops_.StateOf(file_, held, error)) return Fail(reason, error);
    if (ops_.Examine(path_, true, &named) != NameKind::Regular || !(named == state_) ||
        !(held == state_))
        return Fail(reason, ChangedDuringConversion(path_));
    return true;
}

bool OriginalFile::Unwritten(Reason& reason) {
    const bool written = writers_ == Writers::Present ||
                         (writers_ == Writers::Watched && file_.open() && ops_.WriterCame(file_));
    return !written || Fail(reason, OpenForWriting(path_));
}

}  // namespace qwz::replace
