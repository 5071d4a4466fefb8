// An archive's header and files as text: the listing that `kestrum list` and
// the stub's --list print, and the JSON of their --json, the same in both.
#pragma once

#include <string>

namespace kestrum {

class UnZipper;

// Everything that comes from the archive is escaped for a terminal.
std::string ListingText(const UnZipper& archive);
std::string ListingJson(const UnZipper& archive);

}  // namespace kestrum
