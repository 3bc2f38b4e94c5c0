#include "platform/FileRead.h"

#include "platform/FileOps.h"

#include <algorithm>

namespace qwz::platform {

bool IsRegularFile(const std::filesystem::path& path) {
    return SystemFileOps().Examine(path, true, nullptr) == NameKind::Regular;
}

bool ReadWholeFile(const std::filesystem::path& path, std::vector<uint8_t>& out, std::string* error) {
    std::string why;
    if (SystemFileOps().ReadAll(path, out, why)) return true;
    if (error) *error = why;
    return false;
}

bool ReadFileStart(const std::filesystem::path& path, size_t n, std::vector<uint8_t>& out) {
    FileOps& ops = SystemFileOps();
    FileHandle file;
    std::string error;
    if (!ops.OpenToRead(path, file, error)) return false;
    out.assign(n, 0);
    size_t got = 0;
    bool ok = true;
    for (size_t step = 1; ok && step != 0 && got < n; got += step)
        ok = ops.ReadAt(file, got, out.data() + got, n - got, step, error);
    out.resize(std::min(got, n));
    ops.Close(file, error);
    return ok;
}

}  // namespace qwz::platform
