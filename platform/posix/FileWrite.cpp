#include "platform/FileWrite.h"
#include "platform/SystemError.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace qwz::platform {

bool WriteWholeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes,
                    std::string* error) {
    auto fail = [&](const char* what) {
        const int code = errno;
        if (error) *error = std::string(what) + ": " + ErrnoReason(code);
        return false;
    };
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return fail("nie można utworzyć pliku");
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            int saved = errno;
            ::close(fd);
            errno = saved;
            return fail("błąd zapisu pliku");
        }
        done += size_t(n);
    }
    if (::close(fd) != 0) return fail("błąd zapisu pliku");
    return true;
}

}  // namespace qwz::platform
