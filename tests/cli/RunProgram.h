// Runs a program to its end with its standard output and error captured,
// for end-to-end tests of the real binaries.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qwz::test {

struct ProgramResult {
    int exitCode = -1;
    std::string out;  // as written, "\r\n" turned into "\n"
    std::string err;
};

// Starts `exe` with `args` (UTF-8; passed as wide text on Windows) and waits.
ProgramResult RunProgram(const std::filesystem::path& exe, const std::vector<std::string>& args);

// The qwz program that this build made.
std::filesystem::path ToolPath();

}  // namespace qwz::test
