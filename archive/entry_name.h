// Entry names come from the archive and become paths under the destination
// folder; a name that could point anywhere else is refused when the archive is
// loaded, so every later user may rely on names being relative and safe.
#pragma once

#include <string>
#include <string_view>

namespace kestrum {

// Empty when `name` is a safe relative path that Windows can create;
// otherwise the reason it is not. Both backslash and slash count as separators.
std::string UnsafeNameReason(std::string_view name);

// True for a name that ends in a separator ("docs\"): an archive builder's
// way of storing an empty folder.
bool IsFolderName(std::string_view name);

// What Windows allows in one path (in UTF-16 units and parts).
constexpr size_t kMaxNamePart = 255;
constexpr size_t kMaxPathUnits = 32000;
constexpr size_t kMaxNameParts = 1024;

}  // namespace kestrum
