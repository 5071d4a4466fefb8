// The stub the packer writes onto when no --stub is given.
#pragma once

#include "tool/archive_writer.h"

namespace kestrum {

// Points the options at the stub this tool was built with (stub_path or
// stub_bytes); false when it has none.
bool UseDefaultStub(PackOptions& options);

}  // namespace kestrum
