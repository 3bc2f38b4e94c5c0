// The table of the file views open now, for the handler of the fault a page
// of a view gives when its file cannot deliver it (SIGBUS past the end of a
// file cut short; the in-page error of a network file that went away). The
// handler may run on any thread at any moment: it reads the table without
// a lock, so a view is published with its end before its start and
// withdrawn start first. At most kViewGuards views are watched at once; a
// view beyond that is not made (its file is read instead).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace qwz::platform {

struct ViewGuard {
    std::atomic<uintptr_t> begin{0}, end{0};  // the view's pages; begin 0: none
    std::atomic<bool> cut{false};             // a fault found its file short
    std::atomic<bool> taken{false};
};

inline constexpr int kViewGuards = 64;

// A free entry, taken; -1 when every entry is taken.
int TakeViewGuard();
// Puts the view [begin, begin + size) in a taken entry, its end rounded up
// to the page.
void PublishViewGuard(int slot, uintptr_t begin, size_t size, uintptr_t pageSize);
// Takes a published view out of the handler's sight, before it is unmapped;
// whether it was found cut.
bool WithdrawViewGuard(int slot);
// Frees a taken entry (after WithdrawViewGuard and the unmap, if published).
void ReleaseViewGuard(int slot);
// The entry of the published view holding `address`, with its pages; null
// when no view holds it. Safe in a signal handler.
ViewGuard* ViewGuardAt(uintptr_t address, uintptr_t& begin, uintptr_t& end);
// Whether the view of a published entry was found cut.
bool ViewGuardCut(int slot);

}  // namespace qwz::platform
