// Reading a file completely, to tell whether it is a sound QWZ file.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace qwz::api {

enum class CheckStatus {
    Sound,    // read completely
    Damaged,  // its bytes cannot be read completely: `reason`, and where
    NoFile,   // no regular file there to read (missing, a folder, a FIFO, a device)
    Failed,   // it could not be read (no access, out of memory...)
};

struct CheckResult {
    CheckStatus status = CheckStatus::Failed;
    std::string code;               // the stable name of the outcome, as in ConvertResult
    std::string reason;             // why it is not sound (Polish, UTF-8)
    int version = 0;                // the format version; 0 when it has none
    bool hasOffset = false;         // damage found in the bytes: at which byte...
    std::size_t offset = 0;
    std::string field;              // ...reading what
    std::vector<std::string> notes; // what a reader that stopped early said (then Damaged)
};

// Reads `path` completely. Never throws.
CheckResult Check(const std::filesystem::path& path);

}  // namespace qwz::api
