#include "archive/byte_cursor.h"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

TEST(ByteCursor, ReadsLittleEndianIntegers) {
  MemoryStream s(
      {0x01, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01});
  ByteCursor in(s);
  EXPECT_EQ(in.U8(), 0x01);
  EXPECT_EQ(in.U16(), 0x1234);
  EXPECT_EQ(in.U32(), 0x12345678u);
  EXPECT_EQ(in.U64(), 0x0102030405060708ull);
  EXPECT_FALSE(in.failed());
  EXPECT_EQ(in.Left(), 0u);
}

TEST(ByteCursor, ReadPastEndGivesAllOnesAndStaysFailed) {
  MemoryStream s({0xAA, 0xBB, 0xCC});
  ByteCursor in(s);
  EXPECT_EQ(in.U32(), 0xFFFFFFFFu);
  EXPECT_TRUE(in.failed());
  // Sticky: later reads fail too, even those that would fit.
  EXPECT_EQ(in.U8(), 0xFF);
  EXPECT_EQ(in.U16(), 0xFFFF);
  EXPECT_EQ(in.U64(), ~uint64_t{0});

  MemoryStream t({1, 2, 3, 4, 5, 6, 7});
  ByteCursor in2(t);
  EXPECT_EQ(in2.U64(), ~uint64_t{0});
  EXPECT_TRUE(in2.failed());
}

TEST(ByteCursor, ByteReadsAreCheckedBeforeAllocating) {
  MemoryStream s(std::vector<uint8_t>(10, 0x41));
  ByteCursor in(s);
  std::string text;
  EXPECT_TRUE(in.Bytes(4, text));
  EXPECT_EQ(text, "AAAA");
  std::vector<uint8_t> big;
  EXPECT_FALSE(in.Bytes(0xFFFFFFFFull, big));  // would be 4 GiB if trusted
  EXPECT_TRUE(big.empty());
  EXPECT_TRUE(in.failed());
}

TEST(ByteCursor, SeekAndSkipStayInsideTheStream) {
  MemoryStream s(std::vector<uint8_t>(16, 0));
  ByteCursor in(s);
  EXPECT_TRUE(in.Seek(16));
  EXPECT_EQ(in.Left(), 0u);
  EXPECT_TRUE(in.Seek(4));
  EXPECT_TRUE(in.Skip(12));
  EXPECT_FALSE(in.failed());
  EXPECT_FALSE(in.Skip(1));
  EXPECT_TRUE(in.failed());

  ByteCursor in2(s);
  EXPECT_FALSE(in2.Seek(17));
  EXPECT_TRUE(in2.failed());
}

}  // namespace
}  // namespace kestrum
