#include "platform/ProgramPath.h"

#include <stdexcept>
#include <system_error>

namespace qwz::platform {

std::filesystem::path ProgramPath() {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) throw std::runtime_error("cannot read /proc/self/exe: " + ec.message());
    return p;
}

}  // namespace qwz::platform
