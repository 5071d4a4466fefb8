// The stub run from a command line (see view/stub_options.h): extraction,
// listing and testing without the window and without a question, with exit
// codes a script can rely on. Every check that protects a person at the
// window protects a script the same way: the same engine does the work.
#pragma once

#include "view/stub_options.h"

namespace kestrum {

// Returns the exit code.
int RunUnattended(const StubOptions& options);

}  // namespace kestrum
