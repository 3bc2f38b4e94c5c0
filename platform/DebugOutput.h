// The debug output: single lines for a debugger, with no line end added.
// On Windows they go to OutputDebugStringA / OutputDebugStringW; elsewhere
// each is one line on standard error. Tests may capture them instead.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace qwz::platform {

// 8-bit text passed through as it is (OutputDebugStringA).
void DebugOutputA(std::string_view text);
// UTF-8 text sent as wide characters (OutputDebugStringW).
void DebugOutputW(std::string_view utf8);

// Receives every line instead of the platform's channel while set; the
// flag tells whether the line was sent as wide text. Returns the sink it
// replaces. An empty sink restores the platform's channel. Lines may come
// from several threads; the sink is called for one at a time.
using DebugSink = std::function<void(std::string_view text, bool wide)>;
DebugSink SetDebugSink(DebugSink sink);

// The same for the lines sent on the calling thread only, before the sink
// above: what one file's conversion says, while others run beside it.
DebugSink SetThreadDebugSink(DebugSink sink);

}  // namespace qwz::platform
