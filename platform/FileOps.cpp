#include "platform/FileOps.h"
#include "platform/LargeBuffer.h"
#include "platform/MemoryLimit.h"
#include "platform/PathText.h"

#include <algorithm>

namespace qwz::platform {

bool ReadStart(FileOps& ops, FileHandle file, size_t n, std::vector<uint8_t>& out, Reason& error) {
    out.resize(n);
    size_t got = 0;
    while (got < n) {
        size_t step = 0;
        if (!ops.ReadAt(file, got, out.data() + got, n - got, step, error)) return false;
        if (step == 0) break;
        got += step;
    }
    out.resize(got);
    return true;
}

bool FileOps::ListFolder(const std::filesystem::path& folder, std::vector<std::filesystem::path>& names) {
    std::vector<FolderEntry> entries;
    Reason ignored;
    if (!ReadFolder(folder, entries, ignored)) return false;
    for (FolderEntry& entry : entries) names.push_back(std::move(entry.name));
    return true;
}

bool FileOps::FlushFiles(const std::vector<std::filesystem::path>& paths, Reason& error) {
    for (const std::filesystem::path& path : paths) {
        FileHandle file;
        if (!OpenToRead(path, file, error)) return false;
        Reason ignored;
        const bool flushed = Flush(file, error);
        Close(file, ignored);
        if (!flushed) return false;
    }
    return true;
}

bool FileOps::ReadAll(const std::filesystem::path& path, std::vector<uint8_t>& out,
                      Reason& error) {
    FileHandle file;
    if (!OpenToRead(path, file, error)) return false;
    FileState state;
    // A file larger than memory is refused before anything is asked of it.
    std::string tooLarge;
    bool ok = StateOf(file, state, error);
    if (ok && !FitsInMemory(state.size, &tooLarge)) {
        error = Reason(StatusCode::OutOfMemory, std::move(tooLarge));
        ok = false;
    }
    if (ok) {
        out.clear();
        out.reserve(size_t(state.size));
        AdviseLargeBuffer(out.data(), out.capacity());
        ok = ReadStart(*this, file, size_t(state.size), out, error);
    }
    Reason ignored;
    Close(file, ignored);
    return ok;
}

std::string PathForMessage(const std::filesystem::path& path) {
    return "\"" + PathForText(path) + "\"";
}

}  // namespace qwz::platform
