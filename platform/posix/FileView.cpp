#include "platform/FileView.h"
#include "platform/PageRange.h"
#include "platform/ViewGuards.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <sys/mman.h>
#include <unistd.h>

namespace qwz::platform {
namespace {

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

// The handler of SIGBUS, the signal a page of a view past its file's end
// gives; a fault of no view's goes on to the handler before it.
void OnBusError(int signal, siginfo_t* info, void* context) {
    const uintptr_t at = uintptr_t(info->si_addr);
    uintptr_t begin = 0, end = 0;
    if (ViewGuard* g = ViewGuardAt(at, begin, end)) {
        // The file ends before this page: zeros from here to the view's end
        // instead, in the same place, and the view marked as cut.
        const uintptr_t page = at & ~(pageSize - 1);
        void* zeros = ::mmap(reinterpret_cast<void*>(page), end - page, PROT_READ,
                             MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (zeros != MAP_FAILED) {
            g->cut.store(true, std::memory_order_release);
            return;
        }
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
    const int slot = TakeViewGuard();
    if (slot < 0) return false;  // as many views as are watched: read instead
    // Brought in whole: every page at once, one call instead of a fault per
    // few pages. Else the pages come in as they are read.
    const bool whole = size >= kBroughtWhole;
    void* base = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | (whole ? MAP_POPULATE : 0), int(fd), 0);
    if (base == MAP_FAILED) {
        ReleaseViewGuard(slot);
        return false;
    }
    PublishViewGuard(slot, uintptr_t(base), size, pageSize);
    data_ = static_cast<const uint8_t*>(base);
    size_ = size;
    whole_ = whole;
    guard_ = slot;
    return true;
}

bool FileView::Intact() const {
    return !cut_ && (guard_ < 0 || !ViewGuardCut(guard_));
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
    cut_ = WithdrawViewGuard(guard_);
    ::munmap(const_cast<uint8_t*>(data_), size_);
    ReleaseViewGuard(guard_);
    data_ = nullptr;
    size_ = 0;
    guard_ = -1;
}

}  // namespace qwz::platform
