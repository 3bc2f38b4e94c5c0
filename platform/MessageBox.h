// Modal message boxes. On Windows a Unicode message box; elsewhere the text
// goes to the debug output as one line. Tests may capture them instead.
#pragma once

#include <functional>
#include <string>

namespace qwz::platform {

enum class MessageIcon { Error, Warning, Information };

// Shows `text` (UTF-8) with `caption` and waits for OK. `owner` is the
// owning window (an HWND on Windows), or nullptr for none.
void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                 void* owner = nullptr);

// Receives every message instead of the screen while set; returns the sink
// it replaces. An empty sink restores the real boxes. Messages may come from
// several threads; the sink is called for one at a time.
using MessageSink =
    std::function<void(const std::string& text, const std::string& caption, MessageIcon icon)>;
MessageSink SetMessageSink(MessageSink sink);

}  // namespace qwz::platform
