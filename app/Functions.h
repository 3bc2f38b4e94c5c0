// The Explorer command for .qwz files: "Dostosuj do starszych wersji
// programu", which starts this program on the clicked file with a fixed
// target version.
//
// On Windows it is the verb .qwz\shell\downgrade under HKEY_CLASSES_ROOT.
// Elsewhere it is the nearest thing for the current user: a desktop entry
// for files of the .qwz type under $XDG_DATA_HOME (~/.local/share when
// unset).
#pragma once

#include <filesystem>
#include <string>

namespace qwz {

namespace platform {
class Registry;
}

// The menu text of the command.
inline constexpr const char* kShellVerbText = "Dostosuj do starszych wersji programu";
// The verb key and its command subkey, under HKEY_CLASSES_ROOT.
inline constexpr const char* kShellVerbKey = ".qwz\\shell\\downgrade";
inline constexpr const char* kShellVerbCommandKey = ".qwz\\shell\\downgrade\\command";
// Per-user entries that would hide the machine-wide verb; registering
// removes them when they hold a value of their own.
inline constexpr const char* kUserFileExtsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.qwz";
inline constexpr const char* kUserClassesKey = "Software\\Classes\\.qwz";

// Adds (or replaces) the command for `version`. Throws when it cannot be
// written.
void RegisterShellVerb(int version);

// Removes the command when it is there. Throws when it is there and cannot
// be removed.
void UnregisterShellVerb();

// The verb's command line: "\"<program>\" -v <version> \"%1\"".
std::string ShellVerbCommand(const std::string& program, int version);

// The registry work of RegisterShellVerb / UnregisterShellVerb on a given
// registry, with the program path given (UTF-8).
void RegisterShellVerbIn(platform::Registry& registry, int version, const std::string& program);
void UnregisterShellVerbIn(platform::Registry& registry);

#ifndef _WIN32
// The desktop-entry work of RegisterShellVerb / UnregisterShellVerb under a
// given data folder ($XDG_DATA_HOME). Throws std::runtime_error when a file
// cannot be written or removed.
void InstallDesktopEntry(const std::filesystem::path& dataHome,
                         const std::filesystem::path& program, int version);
void RemoveDesktopEntry(const std::filesystem::path& dataHome);
// $XDG_DATA_HOME, or ~/.local/share when it is unset or not absolute.
std::filesystem::path DesktopDataHome();
// Where InstallDesktopEntry puts its two files.
std::filesystem::path DesktopEntryPath(const std::filesystem::path& dataHome);
std::filesystem::path MimePackagePath(const std::filesystem::path& dataHome);
#endif

}  // namespace qwz
