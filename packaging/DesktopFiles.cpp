// Writes the desktop entry and the MIME type of the Explorer command's
// counterpart for every user: the files `qwz-downgrader -r` writes for one
// user, with the program found on PATH and the default target version.
// usage: qwz_desktop_files SHARE_FOLDER
#include "app/CommandLine.h"
#include "app/Functions.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: qwz_desktop_files SHARE_FOLDER\n";
        return 2;
    }
    try {
        qwz::InstallDesktopEntry(argv[1], "qwz-downgrader", qwz::kDefaultTarget);
    } catch (const std::exception& e) {
        std::cerr << "qwz_desktop_files: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
