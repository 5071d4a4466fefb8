// A minimal PE file with one section, standing in for the stub natively.
#pragma once

#include "tests/support/archive_builder.h"

namespace kestrum::test {

inline Bytes FakeStub() {
  Bytes b(1024, 0);
  b[0] = 'M';
  b[1] = 'Z';
  Set32(b, 60, 64);
  b[64] = 'P';
  b[65] = 'E';
  b[68] = 0x64;  // machine 0x8664
  b[69] = 0x86;
  b[70] = 1;  // one section; optional header size 0
  const size_t section = 64 + 24;
  Set32(b, section + 16, 512);  // raw size
  Set32(b, section + 20, 512);  // raw offset
  return b;
}

}  // namespace kestrum::test
