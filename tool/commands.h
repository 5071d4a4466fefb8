// The subcommands of the command-line tool. Each returns the exit code and
// reports a failure as one line on standard error.
#pragma once

#include <string>
#include <vector>

namespace kestrum {

using Args = std::vector<std::string>;

int RunPack(const Args& args);
int RunList(const Args& args);

// "kestrum: <message>" on standard error; returns the failure exit code.
int Failure(const std::string& message);
// Byte counts with an optional K, M or G suffix (powers of 1024).
bool ParseSize(const std::string& text, uint64_t& out);

}  // namespace kestrum
