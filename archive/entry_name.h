// Entry names come from the archive and become paths under the destination
// folder; a name that could point anywhere else is refused when the archive is
// loaded, so every later user may rely on names being relative and safe.
#pragma once

#include <string>

namespace kestrum {

// Empty when `name` is a safe relative path; otherwise the reason it is not.
// Both backslash and slash count as separators.
std::string UnsafeNameReason(const std::string& name);

}  // namespace kestrum
