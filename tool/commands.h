// The subcommands of the command-line tool. Each returns the exit code and
// reports a failure as one line on standard error.
#pragma once

#include <string>
#include <vector>

namespace kestrum {

using Args = std::vector<std::string>;

int RunPack(const Args& args);
int RunList(const Args& args);
// extract (test_only false) and test (true): the same engine and worker
// protocol as the window.
int RunExtract(const Args& args, bool test_only);

class UnZipper;
// Loads an archive for a command; 0, or the failure exit code after the message.
int OpenArchive(UnZipper& archive, const std::string& path);

// "kestrum: <message>" on standard error; returns the failure exit code (1).
int Failure(const std::string& message);
// The same for a command line that makes no sense; returns the usage exit code (2).
int UsageError(const std::string& message);
// Reports that the run was stopped by a stop request (Ctrl+C and the like)
// and returns the exit code for it (130, the shell's code for an interrupt).
int Stopped();
// Byte counts with an optional K, M or G suffix (powers of 1024).
bool ParseSize(const std::string& text, uint64_t& out);

}  // namespace kestrum
