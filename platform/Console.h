// The console of a command-line program: UTF-8 text to standard output and
// standard error, shown correctly in a Windows console, passed through as
// bytes when the stream is a pipe or a file.
#pragma once

#include <string_view>

namespace qwz::platform {

enum class ConsoleStream { Out, Err };

// Sets the console up for UTF-8 output (Windows: the console's output code
// page). Harmless when there is no console.
void PrepareConsole();

// Writes UTF-8 text: to a Windows console as wide characters, everywhere
// else as the bytes given. Flushed at once, so the two streams interleave in
// the order written.
void WriteConsoleText(ConsoleStream stream, std::string_view utf8);

// The stream is an interactive terminal (not a pipe or a file).
bool IsTerminal(ConsoleStream stream);

}  // namespace qwz::platform
