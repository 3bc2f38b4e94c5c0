#include "platform/FileRead.h"
#include "platform/LargeBuffer.h"
#include "platform/MemoryLimit.h"
#include "platform/SystemError.h"

#include <algorithm>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qwz::platform {
namespace {

// Owns a file descriptor for the length of one read.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { if (fd_ >= 0) ::close(fd_); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

bool Fail(std::string* error, const char* what) {
    const int code = errno;
    if (error) *error = std::string(what) + ": " + ErrnoReason(code);
    return false;
}

// Reads up to `limit` bytes (SIZE_MAX: all) into out.
bool ReadFd(int fd, size_t limit, std::vector<uint8_t>& out, std::string* error) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return Fail(error, "nie można odczytać pliku");
    size_t expected = st.st_size > 0 ? size_t(st.st_size) : 0;
    // A file larger than memory is refused before anything is asked of it.
    if (std::min(expected, limit) > 0 && !FitsInMemory(std::min(expected, limit), error)) return false;
    out.clear();
    out.reserve(std::min(expected, limit));
    AdviseLargeBuffer(out.data(), out.capacity());
    out.resize(std::min(expected, limit));
    size_t got = 0;
    for (;;) {
        uint8_t probe[4096];
        uint8_t* dst = out.data() + got;
        size_t room = out.size() - got;
        if (room == 0) {
            if (got >= limit) break;
            // The file may have grown since fstat. Probe into a small buffer
            // first, so that a buffer already holding the whole file is not
            // reallocated just to meet the end of the file.
            dst = probe;
            room = std::min(sizeof probe, limit - got);
        }
        ssize_t n = ::read(fd, dst, room);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail(error, "błąd odczytu pliku");
        }
        if (n == 0) break;
        if (dst == probe) out.insert(out.end(), probe, probe + n);
        got += size_t(n);
    }
    out.resize(got);
    return true;
}

}  // namespace

bool IsRegularFile(const std::filesystem::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool ReadWholeFile(const std::filesystem::path& path, std::vector<uint8_t>& out,
                   std::string* error) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return Fail(error, "nie można otworzyć pliku");
    return ReadFd(fd.get(), SIZE_MAX, out, error);
}

bool ReadFileStart(const std::filesystem::path& path, size_t n, std::vector<uint8_t>& out) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return false;
    return ReadFd(fd.get(), n, out, nullptr);
}

}  // namespace qwz::platform
