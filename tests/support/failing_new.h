// The test program's own operator new, which can be told to fail every
// allocation on every thread: for failure paths that must not allocate.
#pragma once

namespace kestrum::test {

void FailAllAllocations(bool on);

}  // namespace kestrum::test
