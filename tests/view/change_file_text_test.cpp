#include "view/change_file_text.h"

#include <gtest/gtest.h>

#include "view/rich_text/document.h"
#include "view/rich_text/qtf.h"

namespace kestrum {
namespace {

TEST(ChangeFileText, HintNamesThePathInTwoParagraphs) {
  EXPECT_EQ(ChangeFileHint("D:\\out\\a.txt"),
            "[1; File D`:`\\out`\\a`.txt already exists.]&[1; Set new name for this file, or "
            "rewrite it.]");
  EXPECT_EQ(EscapeQtf("a[b]^c"), "a`[b`]`^c");
}

TEST(ChangeFileText, MarkupInANameStaysText) {
  const std::string path = "C:\\x\\[* not bold] ^link^.txt";
  const std::string plain = rich_text::PlainText(rich_text::ParseQtf(ChangeFileHint(path)));
  EXPECT_NE(plain.find(path), std::string::npos) << plain;
}

}  // namespace
}  // namespace kestrum
