// What the programs do with the warnings of a conversion: each one's debug
// line, in order, and the warning box that the first face index naming no
// vertex of a saved version 204 file asks for.
#pragma once

#include "model/Warnings.h"

#include <mutex>
#include <string>
#include <vector>

namespace qwz {

// Whether the box a warning asks for is shown where the warnings are
// reported (the program's command line) or left to the caller (the window,
// which shows it on its own thread).
enum class WarningBox { Show, Leave };

// Writes each warning's debug line, in order; with WarningBox::Show the box
// of a boxed warning is shown right after its line.
void ReportWarnings(const Warnings& warnings, WarningBox box);

// The text of the box the warnings ask for; empty when none does.
std::string WarningBoxText(const Warnings& warnings);

// Shows the warning box with `text`, owned by `owner` (nullptr: none).
void ShowWarningBox(const std::string& text, void* owner = nullptr);

// Boxes asked for by conversions on other threads, shown in the order they
// came on the thread that owns the window.
class WarningBoxes {
public:
    // Keeps `text` (nothing when it is empty); from any thread.
    void Add(std::string text);
    // Shows every box kept so far, owned by `owner`, and forgets them.
    void Show(void* owner);

private:
    std::mutex mutex_;
    std::vector<std::string> waiting_;
};

}  // namespace qwz
