#include "api/Remarks.h"

#include "platform/MessageBox.h"
#include "qwz/Log.h"

#include <mutex>
#include <utility>

namespace qwz::api {
namespace {

std::mutex& LogMutex() {
    static std::mutex mutex;
    return mutex;
}

LogFunction& CurrentLog() {
    static LogFunction log;
    return log;
}

// Once, at the first call: the process's debug output and message boxes
// reach the log instead of standard error, a debugger or the screen. The
// library's own programs never call this API, so they keep their channels.
void SilenceTheProcess() {
    static std::once_flag once;
    std::call_once(once, [] {
        platform::SetDebugSink([](std::string_view text, bool) { Remark(text); });
        platform::SetMessageSink(
            [](const std::string& text, const std::string&, platform::MessageIcon) { Remark(text); });
    });
}

}  // namespace

LogFunction SetLog(LogFunction log) {
    SilenceTheProcess();
    std::lock_guard<std::mutex> lock(LogMutex());
    return std::exchange(CurrentLog(), std::move(log));
}

void Remark(std::string_view line) {
    std::lock_guard<std::mutex> lock(LogMutex());
    if (CurrentLog()) CurrentLog()(line);
}

CallRemarks::CallRemarks(std::vector<std::string>& notes)
    : previous_((SilenceTheProcess(), platform::SetThreadDebugSink([&notes](std::string_view text, bool) {
          notes.emplace_back(text);
          Remark(text);
      }))) {}

CallRemarks::~CallRemarks() { platform::SetThreadDebugSink(std::move(previous_)); }

}  // namespace qwz::api
