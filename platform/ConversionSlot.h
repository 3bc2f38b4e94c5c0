// One of the machine's conversion slots, shared by every process of this
// program in the user's session: as many as the machine has processors (at
// most 64). A file manager starts the program once per chosen file, and
// Explorer hands a whole selection to one process; either way each
// conversion holds a slot while it runs, so that no more files are converted
// at once than there are cores, and the rest wait their turn.
//
// Windows: named mutexes "Local\QwzDowngrader.Conversion.<i>", i from 0;
// a mutex left by a process that died is taken over. Elsewhere: a lock
// (flock) on one of the files "qwz-downgrader-<uid>.slot<i>" in
// $XDG_RUNTIME_DIR or else /tmp, which the system drops with its holder.
// Where the slots cannot be made (no such folder, no handles left) a
// conversion runs without one rather than not at all.
#pragma once

#include <cstddef>
#include <string>

namespace qwz::platform {

// How many slots there are.
size_t ConversionSlotCount();

// The name of slot `index` (the mutex's, or the lock file's path), UTF-8.
std::string ConversionSlotName(size_t index);

// Takes a free slot, waiting as long as it takes, and gives it back when
// destroyed; on Windows on the thread that took it.
class ConversionSlot {
public:
    ConversionSlot();
    ~ConversionSlot();
    ConversionSlot(const ConversionSlot&) = delete;
    ConversionSlot& operator=(const ConversionSlot&) = delete;

    // Gives the slot back before the end of its holder's scope, for a
    // conversion that only waits from there on; on the thread that took it.
    void Release();
    // The slot this thread holds (the latest taken), or nullptr.
    static ConversionSlot* OnThisThread();

private:
    long held_ = -1;  // the slot's index (Windows) or its lock file (elsewhere); -1: none
    ConversionSlot* previous_ = nullptr;
};

}  // namespace qwz::platform
