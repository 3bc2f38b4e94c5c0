#include "platform/FileView.h"
#include "platform/PageRange.h"
#include "platform/ViewGuards.h"

#include <windows.h>

#include <algorithm>
#include <atomic>

namespace qwz::platform {
namespace {

// The system's page size, read when the handler of in-page errors (the
// fault of a page the disk or the network cannot deliver, as from a share
// that went away) is installed.
uintptr_t pageSize = 4096;

// The view at the fault's address becomes zeros in the same place: its
// file view is unmapped and fresh zero pages are reserved where it was, so
// that the read that failed is done again and finds zeros, and the view
// says that it is no longer intact. Any other exception goes on to the
// handlers after this one.
LONG CALLBACK OnInPageError(EXCEPTION_POINTERS* e) {
    const EXCEPTION_RECORD& record = *e->ExceptionRecord;
    if (record.ExceptionCode != EXCEPTION_IN_PAGE_ERROR || record.NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;
    const uintptr_t at = uintptr_t(record.ExceptionInformation[1]);
    uintptr_t begin = 0, end = 0;
    ViewGuard* g = ViewGuardAt(at, begin, end);
    if (!g) return EXCEPTION_CONTINUE_SEARCH;
    // Only the first fault of a view swaps it; a second thread that
    // faulted on it meanwhile finds the zeros when it tries again.
    if (g->cut.exchange(true, std::memory_order_acq_rel)) return EXCEPTION_CONTINUE_EXECUTION;
    void* base = reinterpret_cast<void*>(begin);
    if (!::UnmapViewOfFile(base)) return EXCEPTION_CONTINUE_SEARCH;
    if (!::VirtualAlloc(base, end - begin, MEM_RESERVE | MEM_COMMIT, PAGE_READONLY))
        return EXCEPTION_CONTINUE_SEARCH;
    return EXCEPTION_CONTINUE_EXECUTION;
}

bool WatchInPageErrors() {
    static const bool watching = [] {
        SYSTEM_INFO info;
        ::GetSystemInfo(&info);
        pageSize = uintptr_t(info.dwPageSize);
        return ::AddVectoredExceptionHandler(1, &OnInPageError) != nullptr;
    }();
    return watching;
}

}  // namespace

bool FileView::Map(intptr_t handle, size_t size) {
    Reset();
    cut_ = false;
    if (size == 0 || !WatchInPageErrors()) return false;
    const int slot = TakeViewGuard();
    if (slot < 0) return false;  // as many views as are watched: read instead
    const auto release = [slot] { ReleaseViewGuard(slot); };
    // The mapping object is needed only to make the view, which keeps the
    // file's section alive on its own.
    HANDLE mapping = ::CreateFileMappingW(reinterpret_cast<HANDLE>(handle), nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!mapping) {
        release();
        return false;
    }
    void* base = ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, size);
    ::CloseHandle(mapping);
    if (!base) {
        release();
        return false;
    }
    PublishViewGuard(slot, uintptr_t(base), size, pageSize);
    data_ = static_cast<const uint8_t*>(base);
    size_ = size;
    // Pages come in as they are read, on every size: there is no call that
    // brings a whole view in at once everywhere this runs.
    whole_ = false;
    guard_ = slot;
    return true;
}

bool FileView::Intact() const {
    return !cut_ && (guard_ < 0 || !ViewGuardCut(guard_));
}

void FileView::LetGo(const uint8_t* from, size_t size) const {
    if (whole_) return;
    const PageRange pages = PagesCovered(data_, size_, from, size, pageSize);
    // Unlocking pages that were never locked takes them out of the working
    // set at once; read again, they come back from the system's cache.
    if (pages.size()) ::VirtualUnlock(reinterpret_cast<void*>(pages.first), pages.size());
}

void FileView::Reset() {
    if (!data_) return;
    cut_ = WithdrawViewGuard(guard_);
    // A view found cut is zero pages of its own by now, not a file's view.
    if (cut_) ::VirtualFree(const_cast<uint8_t*>(data_), 0, MEM_RELEASE);
    else ::UnmapViewOfFile(data_);
    ReleaseViewGuard(guard_);
    data_ = nullptr;
    size_ = 0;
    guard_ = -1;
}

}  // namespace qwz::platform
