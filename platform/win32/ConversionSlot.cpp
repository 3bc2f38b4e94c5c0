#include "platform/ConversionSlot.h"

#include "platform/win32/WideText.h"

#include <windows.h>

#include <algorithm>
#include <thread>
#include <vector>

namespace qwz::platform {
namespace {

thread_local ConversionSlot* tHeld = nullptr;

// The mutexes, made or opened once per process; empty when any of them
// could not be.
const std::vector<HANDLE>& Slots() {
    static const std::vector<HANDLE> slots = [] {
        std::vector<HANDLE> made;
        for (size_t i = 0; i < ConversionSlotCount(); ++i) {
            HANDLE h = CreateMutexW(nullptr, FALSE, Utf8ToWide(ConversionSlotName(i)).c_str());
            if (!h) {
                for (HANDLE m : made) CloseHandle(m);
                return std::vector<HANDLE>();
            }
            made.push_back(h);
        }
        return made;
    }();
    return slots;
}

}  // namespace

size_t ConversionSlotCount() {
    // One wait covers them all, so no more than one wait takes.
    return std::clamp<size_t>(std::thread::hardware_concurrency(), 1, MAXIMUM_WAIT_OBJECTS);
}

std::string ConversionSlotName(size_t index) {
    return "Local\\QwzDowngrader.Conversion." + std::to_string(index);
}

ConversionSlot::ConversionSlot() : previous_(tHeld) {
    tHeld = this;
    const std::vector<HANDLE>& slots = Slots();
    if (slots.empty()) return;
    const DWORD n = DWORD(slots.size());
    const DWORD r = WaitForMultipleObjects(n, slots.data(), FALSE, INFINITE);
    if (r >= WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + n) held_ = long(r - WAIT_OBJECT_0);
    else if (r >= WAIT_ABANDONED_0 && r < WAIT_ABANDONED_0 + n) held_ = long(r - WAIT_ABANDONED_0);
}

ConversionSlot::~ConversionSlot() {
    Release();
    tHeld = previous_;
}

void ConversionSlot::Release() {
    if (held_ >= 0) ReleaseMutex(Slots()[size_t(held_)]);
    held_ = -1;
}

ConversionSlot* ConversionSlot::OnThisThread() { return tHeld; }

}  // namespace qwz::platform
