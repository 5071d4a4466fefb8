#include "archive/windows_case.h"

#include "archive/utf8.h"

namespace kestrum {
namespace {

// Runs where upper and lower case alternate: the upper case at the even
// (or odd) code, the lower case right after it.
struct PairRun {
  char16_t first, last;
  bool upper_even;
};
constexpr PairRun kPairs[] = {
    {0x0100, 0x012F, true}, {0x0132, 0x0137, true},  {0x0139, 0x0148, false},
    {0x014A, 0x0177, true}, {0x0179, 0x017E, false}, {0x01CD, 0x01DC, false},
    {0x01DE, 0x01EF, true}, {0x01F8, 0x021F, true},  {0x0222, 0x0233, true},
    {0x0246, 0x024F, true}, {0x03D8, 0x03EF, true},  {0x0460, 0x0481, true},
    {0x048A, 0x04BF, true}, {0x04C1, 0x04CE, false}, {0x04D0, 0x052F, true},
    {0x1E00, 0x1E95, true}, {0x1EA0, 0x1EFF, true},  {0x2C80, 0x2CE3, true},
    {0xA640, 0xA66D, true}, {0xA680, 0xA69B, true},  {0xA722, 0xA72F, true},
    {0xA732, 0xA76F, true}, {0xA77E, 0xA787, true},  {0xA790, 0xA793, true},
    {0xA796, 0xA7A9, true},
};

// Runs of lower-case letters a fixed distance above their capitals.
struct ShiftRun {
  char16_t first, last;
  int shift;  // added to a lower-case unit
};
constexpr ShiftRun kShifts[] = {
    {u'a', u'z', -32},     {0x00E0, 0x00F6, -32},   {0x00F8, 0x00FE, -32}, {0x03AD, 0x03AF, -37},
    {0x03B1, 0x03C1, -32}, {0x03C3, 0x03CB, -32},   {0x03CD, 0x03CE, -63}, {0x0430, 0x044F, -32},
    {0x0450, 0x045F, -80}, {0x0561, 0x0586, -48},   {0x2170, 0x217F, -16}, {0x24D0, 0x24E9, -26},
    {0x2C30, 0x2C5E, -48}, {0x2D00, 0x2D25, -7264}, {0xFF41, 0xFF5A, -32},
};

}  // namespace

char16_t WindowsUpperCase(char16_t c) {
  if (c < 0x80) return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c;
  for (const ShiftRun& run : kShifts)
    if (c >= run.first && c <= run.last) return char16_t(int(c) + run.shift);
  for (const PairRun& run : kPairs) {
    if (c < run.first || c > run.last) continue;
    const bool even = (c & 1) == 0;
    return even == run.upper_even ? c : char16_t(c - 1);
  }
  switch (c) {
    case 0x00B5:
      return 0x039C;  // micro sign: Greek capital mu
    case 0x00FF:
      return 0x0178;
    case 0x0131:
      return u'I';  // dotless i
    case 0x0180:
      return 0x0243;
    case 0x0183:
    case 0x0185:
    case 0x0188:
    case 0x018C:
    case 0x0192:
    case 0x0199:
    case 0x01A1:
    case 0x01A3:
    case 0x01A5:
    case 0x01A8:
    case 0x01AD:
    case 0x01B0:
    case 0x01B4:
    case 0x01B6:
    case 0x01B9:
    case 0x01BD:
      return char16_t(c - 1);
    case 0x01C6:
    case 0x01C9:
    case 0x01CC:
    case 0x01F3:
      return char16_t(c - 2);
    case 0x03AC:
      return 0x0386;
    case 0x03C2:
      return 0x03A3;  // final sigma
    case 0x03CC:
      return 0x038C;
    case 0x04CF:
      return 0x04C0;
    default:
      return c;
  }
}

std::u16string WindowsFolded(std::string_view utf8) {
  std::u16string out = Utf8ToUtf16(utf8);
  for (char16_t& c : out) c = WindowsUpperCase(c);
  return out;
}

}  // namespace kestrum
