#include "platform/FileRead.h"

#include "platform/FileOps.h"


namespace qwz::platform {

bool IsRegularFile(const std::filesystem::path& path) {
    return SystemFileOps().Examine(path, true, nullptr) == NameKind::Regular;
}

bool ReadWholeFile(const std::filesystem::path& path, std::vector<uint8_t>& out, std::string* error) {
    Reason why;
    if (ReadWholeFile(path, out, &why)) return true;
    if (error) *error = why.str();
    return false;
}

bool ReadWholeFile(const std::filesystem::path& path, std::vector<uint8_t>& out, Reason* error) {
    Reason why;
    if (SystemFileOps().ReadAll(path, out, why)) return true;
    if (error) *error = std::move(why);
    return false;
}

bool ReadFileStart(const std::filesystem::path& path, size_t n, std::vector<uint8_t>& out) {
    FileOps& ops = SystemFileOps();
    FileHandle file;
    Reason error;
    if (!ops.OpenToRead(path, file, error)) return false;
    const bool ok = ReadStart(ops, file, n, out, error);
    ops.Close(file, error);
    return ok;
}

}  // namespace qwz::platform
