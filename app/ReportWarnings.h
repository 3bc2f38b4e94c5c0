// What the programs do with the warnings of a conversion: each one's debug
// line, in order, and the warning box that the first face index naming no
// vertex of a saved version 204 file asks for.
#pragma once

#include "model/Warnings.h"

#include <string>

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

}  // namespace qwz
