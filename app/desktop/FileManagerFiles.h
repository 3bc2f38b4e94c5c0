// The commands "Dostosuj do starszych wersji programu" of the file
// managers, one per version the window's list offers, and the .qwz type
// they are shown for. None of them is an application that opens the type:
// opening a .qwz file never converts it.
//
// Under a data folder (/usr/share for every user, $XDG_DATA_HOME for one):
//   mime/packages/qwz-downgrader.xml                 *.qwz is application/x-qwz
//   icons/hicolor/scalable/apps/qwz-downgrader.svg   the program's icon
//   kio/servicemenus/qwz-downgrader.desktop          Dolphin (KDE)
//   nemo/actions/qwz-downgrader-N.nemo_action        Nemo (Cinnamon)
//   file-manager/actions/qwz-downgrader-N.desktop    Caja (MATE)
//   nautilus/scripts/<name>                          Nautilus (GNOME), the user's folder only
// and Thunar's (Xfce) actions in the user's own Thunar/uca.xml.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qwz {

struct DesktopFile {
    std::filesystem::path relative;  // under the data folder
    std::string text;
    bool executable = false;  // Nautilus runs scripts, Dolphin a user's menus, only when executable
    bool userOnly = false;    // read from the user's own folder only
};

// The versions offered, as the window's list offers them.
std::vector<int> OfferedVersions();

// The menu text of the command for `version`.
std::string ActionName(int version);

// The files, with `program` (a path, or a name found on PATH) run as
// `program -v N FILE` for each chosen file.
std::vector<DesktopFile> FileManagerFiles(const std::string& program);

// Thunar's actions: one <action> element per version, each on its own
// lines, marked by a <unique-id> "qwz-downgrader-N".
std::string ThunarActions(const std::string& program);

// The id that marks Thunar's action for `version`.
std::string ThunarActionId(int version);

// The program's icon, for the icon theme.
std::string IconSvg();

}  // namespace qwz
