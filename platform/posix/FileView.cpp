#include "platform/FileView.h"
#include "platform/PageRange.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <sys/mman.h>
#include <unistd.h>

namespace qwz::platform {
namespace {

// The ranges of the views open now, watched by the handler of SIGBUS (the
// signal a page past a file's end gives). The handler may run on any
// thread at any moment: it reads the table without a lock, so a range is
// published with its end before its start and withdrawn start first.
struct Guarded {
    std::atomic<uintptr_t> begin{0}, end{0};
    std::atomic<bool> cut{false};
    std::atomic<bool> taken{false};
};
constexpr int kGuarded = 64;
Guarded guarded[kGuarded];
uintptr_t pageSize = 4096;
struct sigaction previous;

void Chain(int signal, siginfo_t* info, void* context) {
    if (previous.sa_flags & SA_SIGINFO) {
        if (previous.sa_sigaction) previous.sa_sigaction(signal, info, context);
        return;
    }
    if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
        previous.sa_handler(signal);
        return;
    }
    // The fault was not a view's: the instruction is tried again and the
    // signal then does what it would have done without this handler.
    ::signal(signal, SIG_DFL);
}

void OnBusError(int signal, siginfo_t* info, void* context) {
    const uintptr_t at = uintptr_t(info->si_addr);
    for (Guarded& g : guarded) {
        const uintptr_t begin = g.begin.load(std::memory_order_acquire);
        if (begin == 0 || at < begin) continue;
        const uintptr_t end = g.end.load(std::memory_order_acquire);
        if (at >= end) continue;
        // The file ends before this page: zeros from here to the view's end
        // instead, in the same place, and the view marked as cut.
        const uintptr_t page = at & ~(pageSize - 1);
        void* zeros = ::mmap(reinterpret_cast<void*>(page), end - page, PROT_READ,
                             MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (zeros == MAP_FAILED) break;
        g.cut.store(true, std::memory_order_release);
        return;
    }
    Chain(signal, info, context);
}

bool WatchBusErrors() {
    static const bool watching = [] {
        pageSize = uintptr_t(::sysconf(_SC_PAGESIZE));
        struct sigaction action = {};
        action.sa_sigaction = &OnBusError;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        return ::sigaction(SIGBUS, &action, &previous) == 0;
    }();
    return watching;
}

}  // namespace

bool FileView::Map(intptr_t fd, size_t size) {
    Reset();
    cut_ = false;
    if (size == 0 || !WatchBusErrors()) return false;
    int slot = 0;
    for (bool no = false; slot < kGuarded; ++slot, no = false)
        if (guarded[slot].taken.compare_exchange_strong(no, true)) break;
    if (slot == kGuarded) return false;  // as many views as are watched: read instead
    // Brought in whole: every page at once, one call instead of a fault per
    // few pages. Else the pages come in as they are read.
    const bool whole = size >= kBroughtWhole;
    void* base = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | (whole ? MAP_POPULATE : 0), int(fd), 0);
    if (base == MAP_FAILED) {
        guarded[slot].taken.store(false);
        return false;
    }
    Guarded& g = guarded[slot];
    const uintptr_t begin = uintptr_t(base);
    g.cut.store(false);
    g.end.store((begin + size + pageSize - 1) & ~(pageSize - 1), std::memory_order_release);
    g.begin.store(begin, std::memory_order_release);
    data_ = static_cast<const uint8_t*>(base);
    size_ = size;
    whole_ = whole;
    guard_ = slot;
    return true;
}

bool FileView::Intact() const {
    return !cut_ && (guard_ < 0 || !guarded[guard_].cut.load(std::memory_order_acquire));
}

void FileView::LetGo(const uint8_t* from, size_t size) const {
    if (whole_) return;
    const PageRange pages = PagesCovered(data_, size_, from, size, pageSize);
    // A read-only view holds no page of its own: read again, a page comes
    // from the file (or, past a cut, is zeros once more).
    if (pages.size()) ::madvise(reinterpret_cast<void*>(pages.first), pages.size(), MADV_DONTNEED);
}

void FileView::Reset() {
    if (!data_) return;
    Guarded& g = guarded[guard_];
    g.begin.store(0, std::memory_order_release);
    cut_ = g.cut.load(std::memory_order_acquire);
    ::munmap(const_cast<uint8_t*>(data_), size_);
    g.end.store(0);
    g.taken.store(false, std::memory_order_release);
    data_ = nullptr;
    size_ = 0;
    guard_ = -1;
}

}  // namespace qwz::platform
