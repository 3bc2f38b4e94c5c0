#include "platform/Console.h"
#include "platform/win32/WideText.h"

#include <cstdio>
#include <io.h>
#include <windows.h>

namespace qwz::platform {
namespace {

HANDLE HandleOf(ConsoleStream stream) {
    return GetStdHandle(stream == ConsoleStream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool IsConsoleHandle(HANDLE h) {
    DWORD mode = 0;
    return h != nullptr && h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode) != 0;
}

}  // namespace

void WriteConsoleText(ConsoleStream stream, std::string_view utf8) {
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
            if (!WriteConsoleW(h, p, chunk, &written, nullptr) || written == 0) break;
            p += written;
            left -= written;
        }
        return;
    }
    std::fwrite(utf8.data(), 1, utf8.size(), f);
    std::fflush(f);
}

bool IsTerminal(ConsoleStream stream) { return IsConsoleHandle(HandleOf(stream)); }

}  // namespace qwz::platform
