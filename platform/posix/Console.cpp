#include "platform/Console.h"
#include "platform/SystemError.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

namespace qwz::platform {
namespace {

// Per stream (output, error): a write found its reader gone.
std::atomic<bool> readerGone[2];

int DescriptorOf(ConsoleStream stream) { return stream == ConsoleStream::Out ? STDOUT_FILENO : STDERR_FILENO; }

}  // namespace

std::string WriteConsoleText(ConsoleStream stream, std::string_view utf8) {
    std::FILE* f = stream == ConsoleStream::Out ? stdout : stderr;
    errno = 0;
    const bool written = std::fwrite(utf8.data(), 1, utf8.size(), f) == utf8.size();
    // A full disk shows only when the buffer is flushed; the stream keeps
    // its error, so a write after a failed one fails too.
    if (std::fflush(f) == 0 && written && !std::ferror(f)) return {};
    if (errno == EPIPE) readerGone[stream == ConsoleStream::Out ? 0 : 1] = true;
    return ErrnoReason(errno != 0 ? errno : EIO);
}

bool ConsoleReaderGone(ConsoleStream stream) { return readerGone[stream == ConsoleStream::Out ? 0 : 1]; }

bool IsTerminal(ConsoleStream stream) { return isatty(DescriptorOf(stream)) == 1; }

size_t TerminalColumns(ConsoleStream stream) {
    if (!IsTerminal(stream)) return 0;
    winsize size{};
    if (ioctl(DescriptorOf(stream), TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
}

}  // namespace qwz::platform
