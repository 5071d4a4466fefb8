// Stop requests from outside: Ctrl+C, SIGTERM and SIGHUP (on Windows Ctrl+C,
// Ctrl+Break and closing the console) no longer end a program that runs an
// extraction at once. They set a flag that it polls, so that the run stops
// cleanly and removes what it had half written.
#pragma once

namespace kestrum {

void CatchStopRequests();
bool StopRequested();
// Says that the program has cleaned up after a stop request; a console that
// is being closed waits for this (briefly) before the system ends the program.
void StopHandled();

}  // namespace kestrum
