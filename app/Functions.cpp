#include "app/Functions.h"

#include "platform/DebugOutput.h"
#include "platform/PathText.h"
#include "platform/ProgramPath.h"
#include "platform/Registry.h"

#include <string>

namespace qwz {
namespace {

using platform::Registry;
using platform::RegistryError;
using platform::RegistryRoot;

// A per-user key that holds a value of its own overrides the machine-wide
// class for this user, so the verb would not show; one with only subkeys
// is left alone. A key that cannot be read or deleted stays, silently.
void RemoveIfItHoldsAValue(Registry& registry, const char* key) {
    try {
        if (registry.HasOwnValue(RegistryRoot::CurrentUser, key))
            registry.DeleteTree(RegistryRoot::CurrentUser, key);
    } catch (const RegistryError&) {
    }
}

// The per-user verb for any owner of .qwz and any selection, and the class
// of its drop target.
void RegisterSelectionVerb(Registry& registry, int version, const std::string& program) {
    const RegistryRoot user = RegistryRoot::CurrentUser;
    registry.CreateKey(user, kSelectionDropTargetKey);
    registry.SetDefaultValue(user, kSelectionVerbKey, kShellVerbText);
    registry.SetStringValue(user, kSelectionVerbKey, "MultiSelectModel", "Player");
    registry.SetStringValue(user, kSelectionDropTargetKey, "CLSID", kSelectionServerClsid);
    registry.CreateKey(user, kSelectionServerCommandKey);
    registry.SetDefaultValue(user, kSelectionServerKey, "QWZ Downgrader");
    registry.SetDefaultValue(user, kSelectionServerCommandKey, SelectionServerCommand(program, version));
}

// As for the machine-wide verb, a verb key without its menu text is not
// ours; the class key is, whatever it holds. Parents left empty go.
void UnregisterSelectionVerb(Registry& registry) {
    const RegistryRoot user = RegistryRoot::CurrentUser;
    if (registry.HasOwnValue(user, kSelectionVerbKey)) {
        registry.DeleteTree(user, kSelectionVerbKey);
        registry.DeleteIfEmpty(user, "Software\\Classes\\SystemFileAssociations\\.qwz\\shell");
        registry.DeleteIfEmpty(user, "Software\\Classes\\SystemFileAssociations\\.qwz");
    }
    registry.DeleteTree(user, kSelectionServerKey);
}

}  // namespace

std::string SelectionServerCommand(const std::string& program, int version) {
    return "\"" + program + "\" -v " + std::to_string(version);
}

std::string ShellVerbCommand(const std::string& program, int version) {
    return "\"" + program + "\" -v " + std::to_string(version) + " \"%1\"";
}

void RegisterShellVerbIn(Registry& registry, int version, const std::string& program) {
    const std::string command = ShellVerbCommand(program, version);
    registry.CreateKey(RegistryRoot::ClassesRoot, kShellVerbKey);
    registry.SetDefaultValue(RegistryRoot::ClassesRoot, kShellVerbKey, kShellVerbText);
    registry.CreateKey(RegistryRoot::ClassesRoot, kShellVerbCommandKey);
    registry.SetDefaultValue(RegistryRoot::ClassesRoot, kShellVerbCommandKey, command);
    RemoveIfItHoldsAValue(registry, kUserFileExtsKey);
    RemoveIfItHoldsAValue(registry, kUserClassesKey);
    RegisterSelectionVerb(registry, version, program);
}

void UnregisterShellVerbIn(Registry& registry) {
    // A verb key without its menu text is not ours to remove. .qwz and
    // .qwz\shell stay even when left empty.
    if (registry.HasOwnValue(RegistryRoot::ClassesRoot, kShellVerbKey))
        registry.DeleteTree(RegistryRoot::ClassesRoot, kShellVerbKey);
    UnregisterSelectionVerb(registry);
}

#ifdef _WIN32

namespace {

std::string Utf8Path(const std::filesystem::path& p) { return platform::PathUtf8(p); }

}  // namespace

void RegisterShellVerb(int version) {
    Registry& registry = platform::CurrentRegistry();
    RegisterShellVerbIn(registry, version, Utf8Path(platform::ProgramPath()));
}

void UnregisterShellVerb() { UnregisterShellVerbIn(platform::CurrentRegistry()); }

#else

// Every offered version gets its command, so `version` has nothing to
// choose here. What was done is told a line at a time.
void RegisterShellVerb(int /*version*/) {
    const std::vector<std::string> said = InstallDesktopEntry(UserDesktopPlaces(), platform::ProgramPath());
    for (const std::string& line : said) platform::DebugOutputW(line);
    platform::DebugOutputW("Polecenie „" + std::string(kShellVerbText) +
                           "” jest w menu kontekstowym plików .qwz (Dolphin, Nemo, Caja, Thunar; "
                           "w Nautilusie w menu Skrypty)");
}

void UnregisterShellVerb() {
    const std::vector<std::string> said = RemoveDesktopEntry(UserDesktopPlaces());
    for (const std::string& line : said) platform::DebugOutputW(line);
    platform::DebugOutputW(said.empty() ? "Polecenia menu kontekstowego nie było; niczego nie zmieniono"
                                        : "Usunięto polecenie „" + std::string(kShellVerbText) +
                                              "” z menu kontekstowego plików .qwz");
}

#endif

}  // namespace qwz
