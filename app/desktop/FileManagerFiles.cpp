#include "app/desktop/FileManagerFiles.h"

#include "app/CommandLine.h"
#include "app/desktop/DesktopText.h"
#include "format/VersionTable.h"

namespace qwz {
namespace {

constexpr const char* kMimeType = "application/x-qwz";
constexpr const char* kIcon = "qwz-downgrader";

std::string Comment(int version) {
    const std::string v = std::to_string(version);
    return "Comment=Saves the file as QWZ version " + v +
           " for older releases of the program; the original is kept as NAME_org.qwz\n"
           "Comment[pl]=Zapisuje plik w wersji QWZ " + v +
           " dla starszych wersji programu; oryginał zostaje jako NAZWA_org.qwz\n";
}

// Each chosen file in turn, for file managers that hand over all of them
// at once (as shell words): the program converts one file per run.
std::string EachFileCommand(const std::string& program, int version) {
    return "sh -c 'for f do \"$0\" -v " + std::to_string(version) + " \"$f\"; done' " + ShellWord(program) +
           " %F";
}

std::string MimePackage() {
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                       "  <mime-type type=\"") + kMimeType + "\">\n"
           "    <comment>QWZ scene</comment>\n"
           "    <comment xml:lang=\"pl\">Scena QWZ</comment>\n"
           "    <icon name=\"" + kIcon + "\"/>\n"
           "    <magic priority=\"50\"><match type=\"string\" offset=\"0\" value=\"QWZ\"/></magic>\n"
           "    <glob pattern=\"*.qwz\"/>\n"
           "  </mime-type>\n"
           "</mime-info>\n";
}

std::string ExecLine(const std::string& program, int version) {
    return "Exec=" + ExecArgument(program) + " -v " + std::to_string(version) + " %f\n";
}

// Dolphin: a service menu with one action per version; KIO runs the
// command once per chosen file for %f. Written as a desktop entry of its
// own (hidden, its Exec the default version's), so that it is a valid one;
// it lies outside the applications folders, so it never opens a file.
std::string KdeServiceMenu(const std::string& program) {
    std::string ids, actions;
    for (int v : OfferedVersions()) {
        const std::string id = "qwz" + std::to_string(v);
        ids += id + ";";
        actions += "\n[Desktop Action " + id + "]\nName=" + ActionName(v) + "\nIcon=" + kIcon + "\n" +
                   ExecLine(program, v);
    }
    return "[Desktop Entry]\nType=Application\nName=Dostosuj do starszych wersji programu\n" +
           Comment(kDefaultTarget) + "Icon=" + kIcon + "\nNoDisplay=true\n" + ExecLine(program, kDefaultTarget) +
           "MimeType=" + kMimeType + ";\nX-KDE-ServiceTypes=KonqPopupMenu/Plugin\nActions=" + ids + "\n" + actions;
}

std::string NemoAction(const std::string& program, int version) {
    return "[Nemo Action]\nName=" + ActionName(version) + "\n" + Comment(version) + "Icon-Name=" + kIcon +
           "\nExec=" + KeyFileValue(EachFileCommand(program, version)) +
           "\nSelection=NotNone\nExtensions=qwz;\nMimetypes=" + kMimeType + ";\n";
}

// Caja's actions run the command once per chosen file for %f.
std::string CajaAction(const std::string& program, int version) {
    std::string comment = Comment(version);
    for (size_t at = comment.find("Comment"); at != std::string::npos; at = comment.find("Comment", at))
        comment.replace(at, 7, "Tooltip");
    return "[Desktop Entry]\nType=Action\nName=" + ActionName(version) + "\n" + comment + "Icon=" + kIcon +
           "\nProfiles=qwz;\n\n[X-Action-Profile qwz]\nName=" + ActionName(version) +
           "\nExec=" + KeyFileValue(ShellWord(program) + " -v " + std::to_string(version) + " %f") +
           "\nMimeTypes=" + kMimeType + ";\n";
}

// Nautilus runs a script in the folder shown, with the chosen files' names;
// "./" keeps a name such as "-r" from being read as a switch.
std::string NautilusScript(const std::string& program, int version) {
    return "#!/bin/sh\n# QWZ Downgrader: " + ActionName(version) +
           "\nfor f do\n  case $f in /*) ;; *) f=./$f ;; esac\n  " + ShellWord(program) + " -v " +
           std::to_string(version) + " \"$f\"\ndone\n";
}

}  // namespace

std::vector<int> OfferedVersions() { return WrittenVersions(); }

std::string ActionName(int version) {
    return "Dostosuj do starszych wersji programu (QWZ " + std::to_string(version) + ")";
}

std::string ThunarActionId(int version) { return "qwz-downgrader-" + std::to_string(version); }

std::vector<DesktopFile> FileManagerFiles(const std::string& program) {
    std::vector<DesktopFile> files = {
        {"mime/packages/qwz-downgrader.xml", MimePackage()},
        {"icons/hicolor/scalable/apps/qwz-downgrader.svg", IconSvg()},
        {"kio/servicemenus/qwz-downgrader.desktop", KdeServiceMenu(program), true},
    };
    for (int v : OfferedVersions()) {
        const std::string name = "qwz-downgrader-" + std::to_string(v);
        files.push_back({"nemo/actions/" + name + ".nemo_action", NemoAction(program, v)});
        files.push_back({"file-manager/actions/" + name + ".desktop", CajaAction(program, v)});
        files.push_back({"nautilus/scripts/" + ActionName(v), NautilusScript(program, v), true, true});
    }
    return files;
}

std::string ThunarActions(const std::string& program) {
    std::string out;
    for (int v : OfferedVersions()) {
        out += "<action>\n\t<icon>" + std::string(kIcon) + "</icon>\n\t<name>" + XmlText(ActionName(v)) +
               "</name>\n\t<submenu></submenu>\n\t<unique-id>" + ThunarActionId(v) +
               "</unique-id>\n\t<command>" + XmlText(EachFileCommand(program, v)) +
               "</command>\n\t<description>Zapisuje plik w wersji QWZ " + std::to_string(v) +
               " dla starszych wersji programu; oryginał zostaje jako NAZWA_org.qwz</description>\n"
               "\t<range></range>\n\t<patterns>*.qwz;*.QWZ;*.Qwz</patterns>\n\t<other-files/>\n</action>\n";
    }
    return out;
}

}  // namespace qwz
