// Requests to stop a program that works through many files (Ctrl-C, SIGINT,
// SIGTERM; in a Windows console Ctrl+C and Ctrl+Break) turned into a flag,
// so that the program starts no further file and lets those running finish
// or undo cleanly, instead of ending in the middle of one and leaving its
// temporary file and backup behind.
#pragma once

namespace qwz::platform {

// From now on the requests set the flag rather than end the process.
void CatchInterrupts();

// The signal that asked the program to stop: SIGINT (Ctrl+C and, on
// Windows, Ctrl+Break too) or SIGTERM; 0 while none has. The first one
// counts.
int InterruptSignal();

// The conventional exit code of a program stopped by `signal`: 128 + its
// number (130 for SIGINT, 143 for SIGTERM).
int InterruptExitCode(int signal);

// A write to a pipe whose reader has gone fails with its error (EPIPE)
// rather than ending the process silently. Nothing to do on Windows.
void IgnoreBrokenPipe();

}  // namespace qwz::platform
