// Small questions about a path's names that several parts of the program ask
// in the same way.
#pragma once

#include <algorithm>
#include <filesystem>

namespace qwz::platform {

// The folder a path's file lies in: "." for a bare name, so that it can be
// listed or synced as it is.
inline std::filesystem::path FolderOf(const std::filesystem::path& path) {
    std::filesystem::path folder = path.parent_path();
    return folder.empty() ? std::filesystem::path(".") : folder;
}

// Lower-case for ASCII letters only: enough for an extension and the backup
// suffix, and it never depends on the user's locale. It works on the native
// name, which converts to nothing else whatever it holds.
inline std::filesystem::path::string_type AsciiLower(std::filesystem::path::string_type s) {
    for (auto& c : s)
        if (c >= 'A' && c <= 'Z') c = std::filesystem::path::value_type(c - 'A' + 'a');
    return s;
}

// Whether two real paths (FileOps::RealPath) name the same place; on
// Windows letter case does not tell names apart.
inline bool SamePlace(std::filesystem::path a, std::filesystem::path b) {
    a.make_preferred();
    b.make_preferred();
#ifdef _WIN32
    return AsciiLower(a.native()) == AsciiLower(b.native());
#else
    return a == b;
#endif
}

// Whether `path` is `folder` or lies below it, by whole names.
inline bool IsWithin(const std::filesystem::path& path, const std::filesystem::path& folder) {
    return std::mismatch(folder.begin(), folder.end(), path.begin(), path.end()).first == folder.end();
}

}  // namespace qwz::platform
