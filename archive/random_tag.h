// Sixteen hex digits from a generator seeded by the system's random device:
// fresh names for temporary files that nobody can guess ahead. Thread-safe.
#pragma once

#include <string>

namespace kestrum {

std::string RandomTag();

}  // namespace kestrum
