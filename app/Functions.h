// The Explorer command for .qwz files: "Dostosuj do starszych wersji
// programu", which starts this program on the clicked file with a fixed
// target version.
//
// On Windows it is the verb .qwz\shell\downgrade under HKEY_CLASSES_ROOT,
// which Explorer shows only while no program owns .qwz. So the same verb is
// also written for the current user under SystemFileAssociations\.qwz,
// which Explorer reads whatever owns the extension; there it is a COM object
// (this program as a local server, started with -Embedding) that takes the
// whole selection at once, so that it is offered for any number of files.
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

// The verb for any owner of .qwz and any selection, under HKEY_CURRENT_USER
// (the all-users installer writes the same under HKEY_LOCAL_MACHINE): the
// menu text, MultiSelectModel "Player", and DropTarget naming the class
// below, whose local server is this program with the target version.
inline constexpr const char* kSelectionVerbKey = "Software\\Classes\\SystemFileAssociations\\.qwz\\shell\\downgrade";
inline constexpr const char* kSelectionDropTargetKey =
    "Software\\Classes\\SystemFileAssociations\\.qwz\\shell\\downgrade\\DropTarget";
inline constexpr const char* kSelectionServerClsid = "{42F136F0-9B26-4AEC-8DA2-6D7635E01D65}";
inline constexpr const char* kSelectionServerKey =
    "Software\\Classes\\CLSID\\{42F136F0-9B26-4AEC-8DA2-6D7635E01D65}";
inline constexpr const char* kSelectionServerCommandKey =
    "Software\\Classes\\CLSID\\{42F136F0-9B26-4AEC-8DA2-6D7635E01D65}\\LocalServer32";

// Adds (or replaces) the command for `version`: the machine-wide verb, then
// the per-user verb for any owner and selection. Throws when it cannot be
// written.
void RegisterShellVerb(int version);

// Removes the command (both verbs and the class) when it is there. Throws
// when it is there and cannot be removed.
void UnregisterShellVerb();

// The verb's command line: "\"<program>\" -v <version> \"%1\"".
std::string ShellVerbCommand(const std::string& program, int version);

// The local server's command line: "\"<program>\" -v <version>", to which
// COM adds " -Embedding".
std::string SelectionServerCommand(const std::string& program, int version);

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
