// The Explorer command for .qwz files: "Dostosuj do starszych wersji
// programu", which starts this program on the clicked file with a fixed
// target version.
//
// On Windows it is the verb .qwz\shell\downgrade under HKEY_CLASSES_ROOT.
// Elsewhere it is the nearest thing for the current user: a command in the
// context menu of .qwz files in the common file managers, one per offered
// version (app/desktop/).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

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
// Where a user's desktop keeps its files: $XDG_DATA_HOME (~/.local/share),
// $XDG_CONFIG_HOME (~/.config) and $XDG_CONFIG_DIRS (/etc/xdg).
struct DesktopPlaces {
    std::filesystem::path dataHome, configHome;
    std::vector<std::filesystem::path> configDirs;
};
// From the environment; throws std::runtime_error when neither the XDG
// variables nor HOME tell.
DesktopPlaces UserDesktopPlaces();

// The work of RegisterShellVerb / UnregisterShellVerb for the user of
// `places`: the file managers' commands for every offered version (not an
// application that opens .qwz files), and their removal leaving the
// folders as they were. Each returns what it did, a line per step. Throws
// std::runtime_error when a file cannot be written or removed.
std::vector<std::string> InstallDesktopEntry(const DesktopPlaces& places, const std::filesystem::path& program);
std::vector<std::string> RemoveDesktopEntry(const DesktopPlaces& places);
#endif

}  // namespace qwz
