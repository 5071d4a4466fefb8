// The tool's text on standard output and standard error, and the terminal
// questions. Text is UTF-8 everywhere in the program; on a Windows console it
// is written as UTF-16 so every name shows whatever the console's code page,
// and to a pipe or file it goes out as the same UTF-8 bytes as on Linux.
#pragma once

#include <cstdio>
#include <string>

#include "platform/stop_requests.h"
#include "view/printf_text.h"

namespace kestrum {

// Prepares standard output and error (byte-exact output on Windows).
void InitConsole();

// Writes UTF-8 text to stdout or stderr.
void Write(std::FILE* stream, const std::string& text);
// Format and Write to stdout.
void Print(const char* format, ...) KESTRUM_PRINTF(1, 2);

// True when the stream is an interactive terminal or console (stdin, stdout or stderr).
bool IsTerminal(std::FILE* stream);
// Text that returns to the start of the terminal line and blanks it.
std::string ClearLineText();
// One line typed on the terminal, without its line end, as UTF-8; false at end of input
// (and when a stop request interrupts the wait).
bool ReadLine(std::string& line);

}  // namespace kestrum
