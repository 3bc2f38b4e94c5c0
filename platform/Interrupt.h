// Requests to stop a program that works through many files (Ctrl-C, SIGINT,
// SIGTERM; in a Windows console Ctrl+C and Ctrl+Break) turned into a flag,
// so that the program starts no further file and lets those running finish
// or undo cleanly, instead of ending in the middle of one and leaving its
// temporary file and backup behind.
#pragma once

namespace qwz::platform {

// From now on the requests set the flag rather than end the process. A
// signal that was ignored when the program started (a job started in the
// background) stays ignored.
void CatchInterrupts();

// The signal that asked the program to stop: SIGINT (Ctrl+C and, on
// Windows, Ctrl+Break too) or SIGTERM; 0 while none has. The first one
// counts.
int InterruptSignal();

// The conventional exit code of a program stopped by `signal`: 128 + its
// number (130 for SIGINT, 143 for SIGTERM).
int InterruptExitCode(int signal);

// A write to a pipe whose reader has gone fails with its error (EPIPE)
// rather than ending the process at once, so that files under way are
// finished first. Nothing to do on Windows.
void IgnoreBrokenPipe();

// The signal of a write to a pipe whose reader has gone (SIGPIPE; its
// number where the system has none, for the exit code 141).
int BrokenPipeSignal();

// Ends the process as `signal` itself ends it, once the program has
// cleaned up after catching it: its default action restored and the signal
// raised again. A shell running the program in a loop then sees a child
// killed by the signal and stops the loop, as it would not for a child that
// merely exited with 128 + the number. Returns where the system has no such
// signals (Windows): the caller exits with InterruptExitCode.
void EndAsKilledBy(int signal);

}  // namespace qwz::platform
