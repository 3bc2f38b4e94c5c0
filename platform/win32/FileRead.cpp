#include "platform/FileRead.h"
#include "platform/MemoryLimit.h"
#include "platform/SystemError.h"

#include <windows.h>

namespace qwz::platform {
namespace {

// Owns a file handle for the length of one read.
class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() { if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

bool Fail(std::string* error, const char* what) {
    const DWORD code = GetLastError();
    if (error) *error = std::string(what) + ": " + SystemReason(code);
    return false;
}

HANDLE OpenForReading(const std::filesystem::path& path) {
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

bool ReadHandle(HANDLE h, size_t limit, std::vector<uint8_t>& out, std::string* error) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(h, &size)) return Fail(error, "nie można odczytać pliku");
    // A file larger than memory is refused before anything is asked of it.
    if (!FitsInMemory(std::min<uint64_t>(uint64_t(size.QuadPart), limit), error)) return false;
    out.clear();
    out.resize(std::min(size_t(size.QuadPart), limit));
    size_t got = 0;
    while (got < out.size()) {
        DWORD chunk = DWORD(std::min<size_t>(out.size() - got, 1u << 30));
        DWORD n = 0;
        if (!ReadFile(h, out.data() + got, chunk, &n, nullptr)) return Fail(error, "błąd odczytu pliku");
        if (n == 0) break;
        got += n;
    }
    out.resize(got);
    return true;
}

}  // namespace

bool IsRegularFile(const std::filesystem::path& path) {
    DWORD attrs = GetFileAttributesW(path.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

bool ReadWholeFile(const std::filesystem::path& path, std::vector<uint8_t>& out,
                   std::string* error) {
    Handle h(OpenForReading(path));
    if (h.get() == INVALID_HANDLE_VALUE) return Fail(error, "nie można otworzyć pliku");
    return ReadHandle(h.get(), SIZE_MAX, out, error);
}

bool ReadFileStart(const std::filesystem::path& path, size_t n, std::vector<uint8_t>& out) {
    Handle h(OpenForReading(path));
    if (h.get() == INVALID_HANDLE_VALUE) return false;
    return ReadHandle(h.get(), n, out, nullptr);
}

}  // namespace qwz::platform
