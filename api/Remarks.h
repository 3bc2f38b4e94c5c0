// The library's calls keep quiet: what the engine says on the debug output
// or in a message box goes to the caller's log function (qwz/Log.h), if
// any, and what a call says on its own thread into that call's notes.
#pragma once

#include "platform/DebugOutput.h"

#include <string>
#include <string_view>
#include <vector>

namespace qwz::api {

// Hands `line` to the log function, when one is set.
void Remark(std::string_view line);

// While it lives, the remarks made on this thread are kept in `notes` (and
// go to the log), and the process's debug output and message boxes go to
// the log only.
class CallRemarks {
public:
    explicit CallRemarks(std::vector<std::string>& notes);
    ~CallRemarks();
    CallRemarks(const CallRemarks&) = delete;
    CallRemarks& operator=(const CallRemarks&) = delete;

private:
    platform::DebugSink previous_;
};

}  // namespace qwz::api
