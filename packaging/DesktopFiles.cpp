// Writes the file managers' commands and the .qwz type for every user: the
// files `qwz-downgrader -r` writes for one user, with the program found on
// PATH, less those the file managers read from a user's own folders only.
// usage: qwz_desktop_files SHARE_FOLDER
#include "app/desktop/FileManagerFiles.h"

#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: qwz_desktop_files SHARE_FOLDER\n";
        return 2;
    }
    namespace fs = std::filesystem;
    try {
        for (const qwz::DesktopFile& f : qwz::FileManagerFiles("qwz-downgrader")) {
            if (f.userOnly) continue;
            const fs::path path = fs::path(argv[1]) / f.relative;
            fs::create_directories(path.parent_path());
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out << f.text;
            if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
        }
    } catch (const std::exception& e) {
        std::cerr << "qwz_desktop_files: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
