// Running a desktop tool (a cache updater, a notification sender) beside
// the program: found on PATH, its input and output sent nowhere, given a
// few seconds at most.
#pragma once

#include <string>
#include <vector>

namespace qwz {

enum class ToolRun { NotFound, Failed, Succeeded };

// Runs `argv` (argv[0] looked up on PATH) and waits for it, at most
// `seconds`; one still running then is stopped.
ToolRun RunTool(const std::vector<std::string>& argv, int seconds);

}  // namespace qwz
