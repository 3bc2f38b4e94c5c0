#include "platform/Console.h"
#include "platform/SystemError.h"
#include "platform/win32/WideText.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <io.h>
#include <windows.h>

namespace qwz::platform {
namespace {

// Per stream (output, error): a write found its reader gone.
std::atomic<bool> readerGone[2];

HANDLE HandleOf(ConsoleStream stream) {
    return GetStdHandle(stream == ConsoleStream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool IsConsoleHandle(HANDLE h) {
    DWORD mode = 0;
    return h != nullptr && h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode) != 0;
}

}  // namespace

std::string WriteConsoleText(ConsoleStream stream, std::string_view utf8) {
    std::FILE* f = stream == ConsoleStream::Out ? stdout : stderr;
    HANDLE h = HandleOf(stream);
    if (IsConsoleHandle(h)) {
        // The console shows any character this way, whatever its code page.
        std::fflush(f);
        std::wstring wide = Utf8ToWide(utf8);
        const wchar_t* p = wide.data();
        size_t left = wide.size();
        while (left > 0) {
            DWORD chunk = left > 8192 ? 8192 : DWORD(left);
            DWORD written = 0;
            if (!WriteConsoleW(h, p, chunk, &written, nullptr)) return SystemReason(LastSystemError());
            if (written == 0) return ErrnoReason(EIO);
            p += written;
            left -= written;
        }
        return {};
    }
    errno = 0;
    const bool written = std::fwrite(utf8.data(), 1, utf8.size(), f) == utf8.size();
    if (std::fflush(f) == 0 && written && !std::ferror(f)) return {};
    if (errno == EPIPE) readerGone[stream == ConsoleStream::Out ? 0 : 1] = true;
    return ErrnoReason(errno != 0 ? errno : EIO);
}

bool ConsoleReaderGone(ConsoleStream stream) { return readerGone[stream == ConsoleStream::Out ? 0 : 1]; }

bool IsTerminal(ConsoleStream stream) { return IsConsoleHandle(HandleOf(stream)); }

size_t TerminalColumns(ConsoleStream stream) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!IsTerminal(stream) || !GetConsoleScreenBufferInfo(HandleOf(stream), &info)) return 0;
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    return columns > 0 ? size_t(columns) : 0;
}

}  // namespace qwz::platform
