// Glue that lets the stream-cipher part of Crypto++ link on its own
// (scripts/deps/build-cryptopp.sh packs it with that part's objects into
// libcryptopp-stream.a).
//
// In the full library two objects would otherwise be pulled in for a handful of
// symbols, each dragging the rest of the library with it: dll.o holds the
// explicit instantiations of the stream-cipher and parameter templates (next to
// every public-key scheme), and integer.o holds IntToString<word64> and
// AssignIntToInteger (next to the big-integer code and iostreams). On mingw the
// linker cannot drop what they bring: every function's unwind entry keeps it.

// The template definitions: strciphr.h includes strciphr.cpp under this macro.
#define CRYPTOPP_MANUALLY_INSTANTIATE_TEMPLATES
#include "algparam.h"
#include "misc.h"
#include "strciphr.h"

namespace CryptoPP {

// Formats lengths in exception messages ("... is not a valid key length"), as
// the library's own does: the base in the low bits, the high bit for upper case.
template <>
std::string IntToString<word64>(word64 value, unsigned int base) {
  const unsigned int upper_bit = 1u << 31;
  const char letter = (base & upper_bit) ? 'A' : 'a';
  base &= ~upper_bit;
  if (base < 2) base = 10;
  if (value == 0) return "0";
  std::string digits;
  for (; value; value /= base) {
    const unsigned digit = unsigned(value % base);
    digits.insert(digits.begin(), char(digit < 10 ? '0' + digit : letter + digit - 10));
  }
  return digits;
}

// Hands an int parameter to a caller that wants an Integer. No Integer is ever
// linked beside this glue, so no caller can want one.
bool AssignIntToInteger(const std::type_info&, void*, const void*) {
  return false;
}

}  // namespace CryptoPP
