// The stub executable the packer writes an archive onto.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrum {

struct PeStub {
  std::vector<uint8_t> bytes;  // the whole stub, bytes 28..59 still zero
};

// Reads and checks a stub: an MS-DOS header with a PE header behind it, zeros
// in bytes 28..59 (a stub that already carries an archive is refused) and
// nothing after its last section. On failure returns false with a reason.
bool LoadPeStub(const std::string& path, PeStub& stub, std::string& error);
// The same checks on bytes already in memory.
bool CheckPeStub(const std::vector<uint8_t>& bytes, std::string& error);

}  // namespace kestrum
