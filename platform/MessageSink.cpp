#include "platform/MessageBox.h"
#include "platform/MessageBoxShow.h"

#include <mutex>

namespace qwz::platform {
namespace {

std::mutex& SinkMutex() {
    static std::mutex mutex;
    return mutex;
}

MessageSink& CurrentSink() {
    static MessageSink sink;
    return sink;
}

}  // namespace

MessageSink SetMessageSink(MessageSink sink) {
    std::lock_guard<std::mutex> lock(SinkMutex());
    MessageSink previous = std::move(CurrentSink());
    CurrentSink() = std::move(sink);
    return previous;
}

void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                 void* owner) {
    {
        std::lock_guard<std::mutex> lock(SinkMutex());
        if (CurrentSink()) {
            CurrentSink()(text, caption, icon);
            return;
        }
    }
    ShowPlatformMessage(text, caption, icon, owner);
}

}  // namespace qwz::platform
