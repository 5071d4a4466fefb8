#include <windows.h>

#include "tool/default_stub.h"
#include "tool/stub_resource.h"

namespace kestrum {

// The 32-bit release stub travels inside the tool as a resource, so the one
// executable is all a user needs.
bool UseDefaultStub(PackOptions& options) {
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(KESTRUM_STUB_RESOURCE), RT_RCDATA);
  if (!found) return false;
  const DWORD size = SizeofResource(nullptr, found);
  HGLOBAL loaded = LoadResource(nullptr, found);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes || size == 0) return false;
  const auto* first = static_cast<const uint8_t*>(bytes);
  options.stub_bytes.assign(first, first + size);
  return true;
}

}  // namespace kestrum
