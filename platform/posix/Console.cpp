#include "platform/Console.h"

#include <cstdio>
#include <unistd.h>

namespace qwz::platform {

void WriteConsoleText(ConsoleStream stream, std::string_view utf8) {
    std::FILE* f = stream == ConsoleStream::Out ? stdout : stderr;
    std::fwrite(utf8.data(), 1, utf8.size(), f);
    std::fflush(f);
}

bool IsTerminal(ConsoleStream stream) {
    return isatty(stream == ConsoleStream::Out ? STDOUT_FILENO : STDERR_FILENO) == 1;
}

}  // namespace qwz::platform
