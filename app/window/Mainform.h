// The main window MForm: target version, what to keep, and the batch.
#pragma once

namespace qwz {

// Creates the main window and runs the message loop until it is closed.
// Returns the process exit code (always 0).
int RunMainWindow();

}  // namespace qwz
