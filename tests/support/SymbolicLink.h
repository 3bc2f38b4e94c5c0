// Makes a symbolic link for a test: natively by the system's own call; for
// a Windows test under Wine by the host's `ln`, as a user there makes one
// (Wine shows such a link only as the file it leads to).
#pragma once

#include <filesystem>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace qwz::test {

// `link` leads to `target`, a name in the link's own folder. False where no
// link could be made.
inline bool MakeSymbolicLink(const std::string& target, const std::filesystem::path& link) {
#ifdef _WIN32
    std::wstring command = L"ln -s " + std::filesystem::path(target).native() + L" " + link.filename().native();
    STARTUPINFOW start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION process{};
    const std::wstring folder = link.parent_path().native();
    if (!CreateProcessW(L"Z:\\bin\\ln", command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &start,
                        &process))
        return false;
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return std::filesystem::exists(link);
#else
    std::error_code ec;
    std::filesystem::create_symlink(target, link, ec);
    return !ec;
#endif
}

}  // namespace qwz::test
