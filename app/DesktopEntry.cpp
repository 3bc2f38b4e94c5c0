// The Explorer command's counterpart on freedesktop systems, for the
// current user:
//   $XDG_DATA_HOME/mime/packages/qwz-downgrader.xml      *.qwz is application/x-qwz
//   $XDG_DATA_HOME/applications/qwz-downgrader-downgrade.desktop
//       "Dostosuj do starszych wersji programu", Exec="<program>" -v N %f
// followed by update-mime-database / update-desktop-database when present,
// so file managers see the change at once.
#ifndef _WIN32

#include "app/Functions.h"
#include "platform/FileWrite.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace qwz {
namespace {

namespace fs = std::filesystem;

constexpr const char* kMimeType = "application/x-qwz";

std::string MimePackage() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
           "  <mime-type type=\"" + std::string(kMimeType) + "\">\n"
           "    <comment>QWZ scene</comment>\n"
           "    <magic priority=\"50\"><match type=\"string\" offset=\"0\" value=\"QWZ\"/></magic>\n"
           "    <glob pattern=\"*.qwz\"/>\n"
           "  </mime-type>\n"
           "</mime-info>\n";
}

// One argument of an Exec key: in double quotes, with the characters
// " ` $ and backslash escaped by a backslash; then, as for every string value of a desktop
// file, each backslash doubled; and % doubled so it is not a field code.
std::string ExecArgument(const std::string& arg) {
    std::string quoted = "\"";
    for (char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string out;
    for (char c : quoted) {
        if (c == '\\') out += "\\\\";
        else if (c == '%') out += "%%";
        else out += c;
    }
    return out;
}

std::string DesktopFile(const fs::path& program, int version) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=" + std::string(kShellVerbText) + "\n"
           "Exec=" + ExecArgument(program.string()) + " -v " + std::to_string(version) + " %f\n"
           "MimeType=" + std::string(kMimeType) + ";\n"
           "NoDisplay=true\n"
           "Terminal=false\n";
}

// Writes beside the target and renames over it, so a reader never sees
// half a file.
void WriteFileAtomically(const fs::path& path, const std::string& text) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (ec) {
        throw std::runtime_error("cannot create " + path.parent_path().string() + ": " +
                                 ec.message());
    }
    fs::path temp = path;
    temp += ".tmp";
    std::string error;
    if (!platform::WriteWholeFile(temp, std::vector<uint8_t>(text.begin(), text.end()), &error)) {
        fs::remove(temp, ec);
        throw std::runtime_error(temp.string() + ": " + error);
    }
    fs::rename(temp, path, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        throw std::runtime_error("cannot rename " + temp.string() + ": " + ec.message());
    }
}

void RemoveFile(const fs::path& path) {
    std::error_code ec;
    fs::remove(path, ec);
    if (ec) throw std::runtime_error("cannot remove " + path.string() + ": " + ec.message());
}

// Runs a cache updater found on PATH with its output sent nowhere. The
// caches only speed up what the files already say, so a missing or failing
// updater is not an error.
void RunIfPresent(const char* tool, const fs::path& folder) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string folderText = folder.string();
    std::vector<char*> argv = {const_cast<char*>(tool), folderText.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, tool, &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}

void UpdateCaches(const fs::path& dataHome) {
    RunIfPresent("update-mime-database", dataHome / "mime");
    RunIfPresent("update-desktop-database", dataHome / "applications");
}

}  // namespace

fs::path DesktopEntryPath(const fs::path& dataHome) {
    return dataHome / "applications" / "qwz-downgrader-downgrade.desktop";
}

fs::path MimePackagePath(const fs::path& dataHome) {
    return dataHome / "mime" / "packages" / "qwz-downgrader.xml";
}

fs::path DesktopDataHome() {
    // The freedesktop base-directory rules: a relative value is ignored.
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && fs::path(xdg).is_absolute())
        return fs::path(xdg);
    const char* home = std::getenv("HOME");
    if (!home || !*home) throw std::runtime_error("neither XDG_DATA_HOME nor HOME is set");
    return fs::path(home) / ".local" / "share";
}

void InstallDesktopEntry(const fs::path& dataHome, const fs::path& program, int version) {
    for (char c : program.string()) {
        // A line end would end the Exec key early.
        if (static_cast<unsigned char>(c) < 0x20)
            throw std::runtime_error("program path holds a control character");
    }
    WriteFileAtomically(MimePackagePath(dataHome), MimePackage());
    WriteFileAtomically(DesktopEntryPath(dataHome), DesktopFile(program, version));
    UpdateCaches(dataHome);
}

void RemoveDesktopEntry(const fs::path& dataHome) {
    RemoveFile(DesktopEntryPath(dataHome));
    RemoveFile(MimePackagePath(dataHome));
    UpdateCaches(dataHome);
}

}  // namespace qwz

#endif
