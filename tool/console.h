// The tool's text on standard output and standard error, and the terminal
// questions. Text is UTF-8 everywhere in the program; on a Windows console it
// is written as UTF-16 so every name shows whatever the console's code page,
// and to a pipe or file it goes out as the same UTF-8 bytes as on Linux.
#pragma once

#include <cstdio>
#include <string>

// printf-style checking; mingw's printf family is the GNU one (the
// "printf" archetype there would be Microsoft's, which lacks %zu and %llu).
#ifdef __MINGW32__
#define KESTRUM_PRINTF(format_arg, first_arg) \
  __attribute__((format(gnu_printf, format_arg, first_arg)))
#else
#define KESTRUM_PRINTF(format_arg, first_arg) __attribute__((format(printf, format_arg, first_arg)))
#endif

namespace kestrum {

// Prepares standard output and error (byte-exact output on Windows).
void InitConsole();

// Writes UTF-8 text to stdout or stderr.
void Write(std::FILE* stream, const std::string& text);
// printf into a string.
std::string Format(const char* format, ...) KESTRUM_PRINTF(1, 2);
// Format and Write to stdout.
void Print(const char* format, ...) KESTRUM_PRINTF(1, 2);

// True when the stream is an interactive terminal or console (stdin, stdout or stderr).
bool IsTerminal(std::FILE* stream);
// Text that returns to the start of the terminal line and blanks it.
std::string ClearLineText();
// One line typed on the terminal, without its line end, as UTF-8; false at end of input
// (and when a stop request interrupts the wait).
bool ReadLine(std::string& line);

// From here on Ctrl+C, SIGTERM and SIGHUP (on Windows Ctrl+C, Ctrl+Break and
// closing the console) no longer end the program at once: they set a flag
// that the commands poll, so that a run stops cleanly and removes what it
// had half written.
void CatchStopRequests();
bool StopRequested();
// Says that the program has cleaned up after a stop request; a console that
// is being closed waits for this (briefly) before the system ends the program.
void StopHandled();

}  // namespace kestrum
