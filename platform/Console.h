// The console of a command-line program: UTF-8 text to standard output and
// standard error, shown correctly in a Windows console, passed through as
// bytes when the stream is a pipe or a file. The console's own settings
// (its code page) are left as the user had them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qwz::platform {

enum class ConsoleStream { Out, Err };

// Writes UTF-8 text: to a Windows console as wide characters, everywhere
// else as the bytes given. Flushed at once, so the two streams interleave in
// the order written. Returns why the text could not be written in full (a
// full disk, a pipe whose reader has gone), in Polish; empty when it was.
std::string WriteConsoleText(ConsoleStream stream, std::string_view utf8);

// Whether a write to the stream failed because its reader closed it (a
// pipe whose reader ended, as `head` does once it has its lines): the
// reader chose to stop, and the program ends quietly, as a closed pipe ends
// a program.
bool ConsoleReaderGone(ConsoleStream stream);

// The stream is an interactive terminal (not a pipe or a file).
bool IsTerminal(ConsoleStream stream);

// The width in columns of the terminal the stream shows in; 0 when it is
// not a terminal or the terminal does not say.
size_t TerminalColumns(ConsoleStream stream);

}  // namespace qwz::platform
