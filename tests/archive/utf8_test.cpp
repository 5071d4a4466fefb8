#include "archive/utf8.h"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

TEST(Utf8, RoundTripsThroughUtf16) {
  const std::string text = "a\xD0\x96\xE4\xB8\xAD\xF0\x9F\x98\x80";  // a, Zhe, zhong, emoji
  const std::u16string wide = Utf8ToUtf16(text);
  EXPECT_EQ(wide, (std::u16string{u'a', 0x0416, 0x4E2D, 0xD83D, 0xDE00}));
  EXPECT_EQ(Utf16ToUtf8(wide), text);
  EXPECT_TRUE(IsValidUtf8(text));
}

TEST(Utf8, MalformedInputIsReplacedNotTrusted) {
  EXPECT_FALSE(IsValidUtf8("\xE4\xB8"));  // cut short
  EXPECT_EQ(Utf8ToUtf16("x\xFFy"), (std::u16string{u'x', 0xFFFD, u'y'}));
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD800}), "\xEF\xBF\xBD");  // lone surrogate
}

}  // namespace
}  // namespace kestrum
