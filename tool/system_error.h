// Failure texts that carry the system's reason.
#pragma once

#include <string>

namespace kestrum {

// The system's text for an errno value, starting in lower case to follow a colon:
// "no such file or directory".
std::string SystemReason(int error_number);
// "cannot open PATH: <reason>".
std::string CannotOpen(const std::string& path, int error_number);

}  // namespace kestrum
