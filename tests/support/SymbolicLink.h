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

#ifdef _WIN32
// Runs the host's `tool` with `arguments` in `folder` and waits for it.
inline bool RunHostTool(const wchar_t* tool, const std::wstring& arguments, const std::filesystem::path& folder) {
    std::wstring command = std::wstring(tool) + L" " + arguments;
    STARTUPINFOW start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION process{};
    const std::wstring where = folder.native();
    if (!CreateProcessW((std::wstring(L"Z:\\bin\\") + tool).c_str(), command.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, where.c_str(), &start, &process))
        return false;
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}
#endif

// `link` leads to `target`, a name in the link's own folder. False where no
// link could be made.
inline bool MakeSymbolicLink(const std::string& target, const std::filesystem::path& link) {
#ifdef _WIN32
    if (!RunHostTool(L"ln", L"-s " + std::filesystem::path(target).native() + L" " + link.filename().native(),
                     link.parent_path()))
        return false;
    // The host's program may end after Wine says it has.
    for (int wait = 0; wait < 100 && !std::filesystem::exists(link); ++wait) Sleep(50);
    return std::filesystem::exists(link);
#else
    std::error_code ec;
    std::filesystem::create_symlink(target, link, ec);
    return !ec;
#endif
}

// Removes a link made so (Wine cannot remove what it does not see as a
// link).
inline void RemoveSymbolicLink(const std::filesystem::path& link) {
#ifdef _WIN32
    RunHostTool(L"rm", L"-f " + link.filename().native(), link.parent_path());
    for (int wait = 0; wait < 100 && std::filesystem::exists(std::filesystem::symlink_status(link)); ++wait) Sleep(50);
#else
    std::error_code ec;
    std::filesystem::remove(link, ec);
#endif
}

}  // namespace qwz::test
