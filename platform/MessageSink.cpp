#include "platform/MessageBox.h"
#include "platform/MessageBoxShow.h"

namespace qwz::platform {
namespace {

MessageSink& CurrentSink() {
    static MessageSink sink;
    return sink;
}

}  // namespace

MessageSink SetMessageSink(MessageSink sink) {
    MessageSink previous = std::move(CurrentSink());
    CurrentSink() = std::move(sink);
    return previous;
}

void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                 void* owner) {
    if (CurrentSink()) CurrentSink()(text, caption, icon);
    else ShowPlatformMessage(text, caption, icon, owner);
}

}  // namespace qwz::platform
