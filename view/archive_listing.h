// An archive's header and files as text: the listing that `kestrum list` and
// the stub's --list print, and the JSON of their --json, the same in both.
#pragma once

#include <functional>
#include <string>

namespace kestrum {

class UnZipper;

// Everything that comes from the archive is escaped for a terminal.
std::string ListingText(const UnZipper& archive);
std::string ListingJson(const UnZipper& archive);

// The same in pieces of about 64 KiB, in order, for tables too large to hold
// as one text.
using ListingSink = std::function<void(const std::string& piece)>;
void WriteListingText(const UnZipper& archive, const ListingSink& sink);
void WriteListingJson(const UnZipper& archive, const ListingSink& sink);

}  // namespace kestrum
