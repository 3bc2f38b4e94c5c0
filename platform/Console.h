// The console of a command-line program: UTF-8 text to standard output and
// standard error, shown correctly in a Windows console, passed through as
// bytes when the stream is a pipe or a file. The console's own settings
// (its code page) are left as the user had them.
#pragma once

#include <string_view>

namespace qwz::platform {

enum class ConsoleStream { Out, Err };

// Writes UTF-8 text: to a Windows console as wide characters, everywhere
// else as the bytes given. Flushed at once, so the two streams interleave in
// the order written.
void WriteConsoleText(ConsoleStream stream, std::string_view utf8);

// The stream is an interactive terminal (not a pipe or a file).
bool IsTerminal(ConsoleStream stream);

}  // namespace qwz::platform
