// `qwz-downgrader -r` / `-u` on freedesktop systems: the file managers'
// commands (FileManagerFiles.h) for the current user, and Thunar's in the
// user's uca.xml. What -r made that was not there before (folders, a
// uca.xml) is noted in $XDG_DATA_HOME/qwz-downgrader/registered, so that
// -u leaves the user's folders as they were: it removes the files, the
// notes and the folders -r made, and brings the MIME database up to date
// only where other types remain in it.
#ifndef _WIN32

#include "app/Functions.h"
#include "app/desktop/FileManagerFiles.h"
#include "app/desktop/RunTool.h"
#include "app/desktop/ThunarUca.h"
#include "platform/FileWrite.h"
#include "platform/PathText.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace qwz {
namespace {

namespace fs = std::filesystem;

constexpr int kToolSeconds = 30;

// What -r made, noted for -u.
struct Made {
    std::set<fs::path> folders;
    bool uca = false;  // the user's uca.xml
};

fs::path NotesPath(const DesktopPlaces& p) { return p.dataHome / "qwz-downgrader" / "registered"; }
fs::path UcaPath(const DesktopPlaces& p) { return p.configHome / "Thunar" / "uca.xml"; }
fs::path LegacyEntryPath(const DesktopPlaces& p) {
    return p.dataHome / "applications" / "qwz-downgrader-downgrade.desktop";
}

std::string Shown(const fs::path& p) { return "\"" + platform::PathForText(p) + "\""; }

std::string ReadText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

Made ReadNotes(const DesktopPlaces& places) {
    Made made;
    std::istringstream in(ReadText(NotesPath(places)));
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("folder ", 0) == 0) made.folders.insert(line.substr(7));
        else if (line == "uca") made.uca = true;
    }
    return made;
}

// Writes beside the target and renames over it, so that a reader never
// sees half a file; an executable file gets the run bits of its read bits.
void WriteFileAtomically(const fs::path& path, const std::string& text, bool executable) {
    fs::path temp = path;
    temp += ".tmp";
    std::string error;
    std::error_code ec;
    if (!platform::WriteWholeFile(temp, std::vector<uint8_t>(text.begin(), text.end()), &error)) {
        fs::remove(temp, ec);
        throw std::runtime_error(platform::PathForText(temp) + ": " + error);
    }
    if (executable) {
        const fs::perms p = fs::status(temp, ec).permissions();
        fs::perms run = fs::perms::none;
        if ((p & fs::perms::owner_read) != fs::perms::none) run |= fs::perms::owner_exec;
        if ((p & fs::perms::group_read) != fs::perms::none) run |= fs::perms::group_exec;
        if ((p & fs::perms::others_read) != fs::perms::none) run |= fs::perms::others_exec;
        fs::permissions(temp, run, fs::perm_options::add, ec);
    }
    fs::rename(temp, path, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        throw std::runtime_error("cannot rename " + platform::PathForText(temp) + ": " + ec.message());
    }
}

// Makes the folder and its missing parents, noting each one made.
void MakeFolders(const fs::path& folder, Made& made) {
    std::error_code ec;
    if (fs::is_directory(folder, ec)) return;
    MakeFolders(folder.parent_path(), made);
    if (!fs::create_directory(folder, ec) && !fs::is_directory(folder)) {
        throw std::runtime_error("cannot create " + platform::PathForText(folder) + ": " + ec.message());
    }
    made.folders.insert(folder);
}

void WriteNotes(const DesktopPlaces& places, Made& made) {
    MakeFolders(NotesPath(places).parent_path(), made);
    std::string text = "# Made by qwz-downgrader -r; qwz-downgrader -u removes them again.\n";
    for (const fs::path& f : made.folders) text += "folder " + f.string() + "\n";
    if (made.uca) text += "uca\n";
    WriteFileAtomically(NotesPath(places), text, false);
}

bool RemoveIfThere(const fs::path& path, std::vector<std::string>& said) {
    std::error_code ec;
    if (!fs::remove(path, ec)) {
        if (ec) throw std::runtime_error("cannot remove " + platform::PathForText(path) + ": " + ec.message());
        return false;
    }
    said.push_back("Usunięto " + Shown(path));
    return true;
}

// The entry of earlier releases, which made the program the application
// that opens .qwz files (and so converted a file on a double click).
void RemoveLegacyEntry(const DesktopPlaces& places, std::vector<std::string>& said) {
    if (!RemoveIfThere(LegacyEntryPath(places), said)) return;
    said.back() += " (wcześniejsze polecenie, które otwierało pliki .qwz)";
    RunTool({"update-desktop-database", LegacyEntryPath(places).parent_path().string()}, kToolSeconds);
}

void UpdateMimeDatabase(const fs::path& mime, std::vector<std::string>& said) {
    if (RunTool({"update-mime-database", mime.string()}, kToolSeconds) == ToolRun::Succeeded)
        said.push_back("Odświeżono bazę typów plików " + Shown(mime));
}

// Thunar reads the first uca.xml of the user's and the system's config
// folders: a user without one starts from the system's.
std::string UcaToStartFrom(const DesktopPlaces& places) {
    for (const fs::path& dir : places.configDirs) {
        std::error_code ec;
        if (fs::is_regular_file(dir / "Thunar" / "uca.xml", ec)) return ReadText(dir / "Thunar" / "uca.xml");
    }
    return EmptyUca();
}

// Thunar is there when the user has its folder or the system its actions.
bool ThunarInUse(const DesktopPlaces& places) {
    std::error_code ec;
    if (fs::is_directory(UcaPath(places).parent_path(), ec)) return true;
    for (const fs::path& dir : places.configDirs)
        if (fs::is_regular_file(dir / "Thunar" / "uca.xml", ec)) return true;
    return false;
}

void AddThunarActions(const DesktopPlaces& places, const std::string& program, Made& made,
                      std::vector<std::string>& said) {
    if (!ThunarInUse(places)) return;
    const fs::path uca = UcaPath(places);
    std::error_code ec;
    const bool there = fs::exists(uca, ec);
    const std::string before = there ? ReadText(uca) : UcaToStartFrom(places);
    const std::optional<std::string> after = WithQwzActions(WithoutQwzActions(before), ThunarActions(program));
    if (!after) {
        said.push_back("Pominięto " + Shown(uca) + ": brak znacznika </actions> na początku wiersza");
        return;
    }
    MakeFolders(uca.parent_path(), made);
    WriteFileAtomically(uca, *after, false);
    if (!there) made.uca = true;
    said.push_back("Dodano polecenia do " + Shown(uca));
}

void RemoveThunarActions(const DesktopPlaces& places, const Made& made, std::vector<std::string>& said) {
    const fs::path uca = UcaPath(places);
    std::error_code ec;
    if (!fs::is_regular_file(uca, ec)) return;
    const std::string before = ReadText(uca);
    const std::string after = WithoutQwzActions(before);
    if (after == before) return;
    // A file made by -r goes again, unless the user has added to it since.
    if (made.uca && after == UcaToStartFrom(places)) {
        RemoveIfThere(uca, said);
        return;
    }
    WriteFileAtomically(uca, after, false);
    said.push_back("Usunięto polecenia z " + Shown(uca));
}

// Everything in a MIME folder but packages/ is made from packages/: one
// that -r made and that holds no other type is removed whole.
void RemoveMimeType(const DesktopPlaces& places, const Made& made, std::vector<std::string>& said) {
    const fs::path mime = places.dataHome / "mime";
    std::error_code ec;
    if (made.folders.count(mime) != 0 && fs::is_empty(mime / "packages", ec)) {
        fs::remove_all(mime, ec);
        if (!ec) said.push_back("Usunięto bazę typów plików " + Shown(mime));
        return;
    }
    UpdateMimeDatabase(mime, said);
}

void RemoveMadeFolders(const Made& made) {
    std::vector<fs::path> folders(made.folders.begin(), made.folders.end());
    std::sort(folders.begin(), folders.end(),
              [](const fs::path& a, const fs::path& b) { return a.native().size() > b.native().size(); });
    std::error_code ec;
    for (const fs::path& f : folders) fs::remove(f, ec);  // only when empty
}

}  // namespace

DesktopPlaces UserDesktopPlaces() {
    // The freedesktop base-directory rules: a relative value is ignored.
    auto absolute = [](const char* name) -> fs::path {
        const char* value = std::getenv(name);
        return value && fs::path(value).is_absolute() ? fs::path(value) : fs::path();
    };
    const char* home = std::getenv("HOME");
    DesktopPlaces places;
    places.dataHome = absolute("XDG_DATA_HOME");
    places.configHome = absolute("XDG_CONFIG_HOME");
    if ((places.dataHome.empty() || places.configHome.empty()) && (!home || !*home))
        throw std::runtime_error("neither XDG_DATA_HOME / XDG_CONFIG_HOME nor HOME is set");
    if (places.dataHome.empty()) places.dataHome = fs::path(home) / ".local" / "share";
    if (places.configHome.empty()) places.configHome = fs::path(home) / ".config";
    const char* dirs = std::getenv("XDG_CONFIG_DIRS");
    std::istringstream list(dirs && *dirs ? dirs : "/etc/xdg");
    for (std::string dir; std::getline(list, dir, ':');)
        if (fs::path(dir).is_absolute()) places.configDirs.emplace_back(dir);
    return places;
}

std::vector<std::string> InstallDesktopEntry(const DesktopPlaces& places, const fs::path& program) {
    for (char c : program.string()) {
        // A line end would end a key early.
        if (static_cast<unsigned char>(c) < 0x20)
            throw std::runtime_error("program path holds a control character");
    }
    Made made = ReadNotes(places);
    std::vector<std::string> said;
    try {
        RemoveLegacyEntry(places, said);
        for (const DesktopFile& f : FileManagerFiles(program.string())) {
            const fs::path path = places.dataHome / f.relative;
            MakeFolders(path.parent_path(), made);
            WriteFileAtomically(path, f.text, f.executable);
            said.push_back("Zapisano " + Shown(path));
        }
        AddThunarActions(places, program.string(), made, said);
        UpdateMimeDatabase(places.dataHome / "mime", said);
    } catch (...) {
        WriteNotes(places, made);
        throw;
    }
    WriteNotes(places, made);
    return said;
}

std::vector<std::string> RemoveDesktopEntry(const DesktopPlaces& places) {
    const Made made = ReadNotes(places);
    std::vector<std::string> said;
    bool mime = false;
    for (const DesktopFile& f : FileManagerFiles({})) {
        const bool removed = RemoveIfThere(places.dataHome / f.relative, said);
        if (removed && f.relative.begin()->string() == "mime") mime = true;
    }
    RemoveThunarActions(places, made, said);
    RemoveLegacyEntry(places, said);
    if (mime) RemoveMimeType(places, made, said);
    std::error_code ec;
    fs::remove(NotesPath(places), ec);
    RemoveMadeFolders(made);
    return said;
}

}  // namespace qwz

#endif
