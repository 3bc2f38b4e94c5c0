// Silences the debug output and message boxes while fuzzing: a damaged mesh
// can report thousands of bad indices, and none of it is what is tested.
#pragma once

#include "platform/DebugOutput.h"
#include "platform/MessageBox.h"

namespace qwz::fuzz {

inline void Quiet() {
    static bool done = false;
    if (done) return;
    done = true;
    platform::SetDebugSink([](std::string_view, bool) {});
    platform::SetMessageSink([](const std::string&, const std::string&, platform::MessageIcon) {});
}

}  // namespace qwz::fuzz
