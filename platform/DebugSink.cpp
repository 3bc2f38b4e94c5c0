#include "platform/DebugOutput.h"
#include "platform/DebugChannel.h"

#include <mutex>

namespace qwz::platform {
namespace {

std::mutex& SinkMutex() {
    static std::mutex mutex;
    return mutex;
}

DebugSink& CurrentSink() {
    static DebugSink sink;
    return sink;
}

DebugSink& ThreadSink() {
    thread_local DebugSink sink;
    return sink;
}

void Send(std::string_view text, bool wide) {
    if (ThreadSink()) {
        ThreadSink()(text, wide);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(SinkMutex());
        if (CurrentSink()) {
            CurrentSink()(text, wide);
            return;
        }
    }
    SendToDebugChannel(text, wide);
}

}  // namespace

DebugSink SetDebugSink(DebugSink sink) {
    std::lock_guard<std::mutex> lock(SinkMutex());
    DebugSink previous = std::move(CurrentSink());
    CurrentSink() = std::move(sink);
    return previous;
}

DebugSink SetThreadDebugSink(DebugSink sink) {
    DebugSink previous = std::move(ThreadSink());
    ThreadSink() = std::move(sink);
    return previous;
}

void DebugOutputA(std::string_view text) { Send(text, false); }

void DebugOutputW(std::string_view utf8) { Send(utf8, true); }

}  // namespace qwz::platform
