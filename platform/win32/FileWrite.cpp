#include "platform/FileWrite.h"
#include "platform/SystemError.h"

#include <windows.h>

namespace qwz::platform {

bool WriteWholeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes,
                    std::string* error) {
    auto fail = [&](const char* what) {
        const DWORD code = GetLastError();
        if (error) *error = std::string(what) + ": " + SystemReason(code);
        return false;
    };
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return fail("nie można utworzyć pliku");
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = DWORD(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD n = 0;
        if (!WriteFile(h, bytes.data() + done, chunk, &n, nullptr) || n == 0) {
            DWORD code = GetLastError();
            CloseHandle(h);
            SetLastError(code);
            return fail("błąd zapisu pliku");
        }
        done += n;
    }
    if (!CloseHandle(h)) return fail("błąd zapisu pliku");
    return true;
}

}  // namespace qwz::platform
