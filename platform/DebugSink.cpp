#include "platform/DebugOutput.h"
#include "platform/DebugChannel.h"

namespace qwz::platform {
namespace {

DebugSink& CurrentSink() {
    static DebugSink sink;
    return sink;
}

}  // namespace

DebugSink SetDebugSink(DebugSink sink) {
    DebugSink previous = std::move(CurrentSink());
    CurrentSink() = std::move(sink);
    return previous;
}

void DebugOutputA(std::string_view text) {
    if (CurrentSink()) CurrentSink()(text, false);
    else SendToDebugChannel(text, false);
}

void DebugOutputW(std::string_view utf8) {
    if (CurrentSink()) CurrentSink()(utf8, true);
    else SendToDebugChannel(utf8, true);
}

}  // namespace qwz::platform
