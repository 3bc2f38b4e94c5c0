#include "platform/FileOps.h"
#include "platform/LargeBuffer.h"
#include "platform/MemoryLimit.h"
#include "platform/PathText.h"

#include <algorithm>

namespace qwz::platform {

bool FileOps::ReadAll(const std::filesystem::path& path, std::vector<uint8_t>& out,
                      std::string& error) {
    FileHandle file;
    if (!OpenToRead(path, file, error)) return false;
    FileState state;
    // A file larger than memory is refused before anything is asked of it.
    bool ok = StateOf(file, state, error) && FitsInMemory(state.size, &error);
    if (ok) {
        out.clear();
        out.reserve(size_t(state.size));
        AdviseLargeBuffer(out.data(), out.capacity());
        out.resize(size_t(state.size));
        size_t got = 0;
        for (size_t n = 1; ok && n != 0 && got < out.size(); got += n)
            ok = ReadAt(file, got, out.data() + got, out.size() - got, n, error);
        out.resize(std::min(got, out.size()));
    }
    std::string ignored;
    Close(file, ignored);
    return ok;
}

std::string PathForMessage(const std::filesystem::path& path) {
    return "\"" + PathForText(path) + "\"";
}

}  // namespace qwz::platform
