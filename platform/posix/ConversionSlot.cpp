#include "platform/ConversionSlot.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace qwz::platform {
namespace {

thread_local ConversionSlot* tHeld = nullptr;

}  // namespace

size_t ConversionSlotCount() { return std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 64); }

std::string ConversionSlotName(size_t index) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string folder = runtime && *runtime == '/' ? runtime : "/tmp";
    return folder + "/qwz-downgrader-" + std::to_string(getuid()) + ".slot" + std::to_string(index);
}

// Each slot is opened anew, so that two threads of one process exclude each
// other too (a lock belongs to the open file). The first free one is taken;
// when none is, the next try follows shortly.
ConversionSlot::ConversionSlot() : previous_(tHeld) {
    tHeld = this;
    const size_t count = ConversionSlotCount();
    for (;;) {
        bool anyOpened = false;
        for (size_t i = 0; i < count; ++i) {
            const int fd = open(ConversionSlotName(i).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
            if (fd < 0) continue;
            anyOpened = true;
            if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
                held_ = fd;
                return;
            }
            close(fd);
        }
        if (!anyOpened) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

ConversionSlot::~ConversionSlot() {
    Release();
    tHeld = previous_;
}

void ConversionSlot::Release() {
    if (held_ >= 0) close(int(held_));
    held_ = -1;
}

ConversionSlot* ConversionSlot::OnThisThread() { return tHeld; }

}  // namespace qwz::platform
