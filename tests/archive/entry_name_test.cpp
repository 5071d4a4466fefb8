#include "archive/entry_name.h"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

TEST(EntryName, OrdinaryRelativeNamesAreSafe) {
  for (const char* name : {"a.txt", "folder\\file.bin", "a/b\\c", "A\\\\B\\f", "x\\",
                           "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.txt",
                           "\xE4\xB8\xAD\xE6\x96\x87\\\xE6\x96\x87.txt", ".hidden", "a..b",
                           "CONSOLE.txt", "com10", "nul_file"})
    EXPECT_EQ(UnsafeNameReason(name), "") << name;
}

TEST(EntryName, NamesThatLeaveTheDestinationAreRefused) {
  for (const char* name : {"",        "\\x",          "/x",           "\\\\server\\share\\x",
                           "C:\\x",   "C:x",          "a.txt:stream", "..",
                           "..\\x",   "a\\..\\..\\x", "a/../x",       ".\\x",
                           "a\\.\\b", "a\\b.",        "a\\b ",        "dir.\\f",
                           "CON",     "con.txt",      "a\\NUL",       "Aux.log",
                           "COM1",    "lpt9.txt",     "PRN",          "a\tb",
                           "a\x7f",   "line\nbreak",  "a?b",          "a*b",
                           "a|b",     "a<b",          "a\"b",         "COM\xC2\xB9"})
    EXPECT_NE(UnsafeNameReason(name), "") << name;
}

TEST(EntryName, InvalidUtf8IsRefused) {
  EXPECT_NE(UnsafeNameReason("bad\xFF.txt"), "");
  EXPECT_NE(UnsafeNameReason("\xC0\xAE\xC0\xAE\\x"), "");  // overlong dots
  EXPECT_NE(UnsafeNameReason("\xED\xA0\x80"), "");         // a surrogate
}

}  // namespace
}  // namespace kestrum
