#include "platform/ProgramPath.h"

#include <windows.h>

#include <stdexcept>
#include <string>

namespace qwz::platform {

std::filesystem::path ProgramPath() {
    // GetModuleFileNameW cuts the path to the buffer without saying so
    // except through the returned length; grow until it fits.
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
        if (n == 0) {
            throw std::runtime_error("GetModuleFileNameW failed, error " +
                                     std::to_string(GetLastError()));
        }
        if (n < buffer.size()) {
            buffer.resize(n);
            return std::filesystem::path(buffer);
        }
        if (buffer.size() >= 32768) throw std::runtime_error("program path too long");
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace qwz::platform
