#include "platform/ViewGuards.h"

namespace qwz::platform {
namespace {

ViewGuard guards[kViewGuards];

}  // namespace

int TakeViewGuard() {
    for (int slot = 0; slot < kViewGuards; ++slot)
        if (bool no = false; guards[slot].taken.compare_exchange_strong(no, true)) return slot;
    return -1;
}

void PublishViewGuard(int slot, uintptr_t begin, size_t size, uintptr_t pageSize) {
    ViewGuard& g = guards[slot];
    g.cut.store(false);
    g.end.store((begin + size + pageSize - 1) & ~(pageSize - 1), std::memory_order_release);
    g.begin.store(begin, std::memory_order_release);
}

bool WithdrawViewGuard(int slot) {
    ViewGuard& g = guards[slot];
    g.begin.store(0, std::memory_order_release);
    return g.cut.load(std::memory_order_acquire);
}

void ReleaseViewGuard(int slot) {
    guards[slot].end.store(0);
    guards[slot].taken.store(false, std::memory_order_release);
}

ViewGuard* ViewGuardAt(uintptr_t address, uintptr_t& begin, uintptr_t& end) {
    for (ViewGuard& g : guards) {
        begin = g.begin.load(std::memory_order_acquire);
        if (begin == 0 || address < begin) continue;
        end = g.end.load(std::memory_order_acquire);
        if (address < end) return &g;
    }
    return nullptr;
}

bool ViewGuardCut(int slot) {
    return guards[slot].cut.load(std::memory_order_acquire);
}

}  // namespace qwz::platform
