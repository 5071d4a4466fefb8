// The tool's help texts: the overview and one page per command.
#pragma once

#include <string>

namespace kestrum {

// The overview printed by "kestrum --help" (and on a bare "kestrum").
const char* OverviewHelp();
// The help of one command ("kestrum pack --help"), or nullptr for an unknown command.
const char* CommandHelp(const std::string& command);

}  // namespace kestrum
