#include "view/archive_reference.h"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

TEST(ArchiveReference, TokenAndAboutLink) {
  EXPECT_EQ(MakeArchref(123, 1000), "123915");
  EXPECT_EQ(MakeArchref(999, 0xFFFFFFFFu), "9994294966296");  // unsigned, no sign
  const int r = RefRandom();
  EXPECT_GE(r, 100);
  EXPECT_LE(r, 999);
  EXPECT_EQ(RefRandom(), r);  // drawn once
  EXPECT_EQ(AboutLinkQtf("123915"),
            std::string("[2; [^") + kServiceSite + "/archrf/?archref=123915^; About Kestrum]]");
}

TEST(ArchiveReference, FinishedMessage) {
  EXPECT_EQ(FinishedMessageQtf("123915"),
            std::string("[1; [ The archive is successfully unpacked.]&[ You can leave a response "
                        "on a site [^") +
                kServiceSite + "/arbitration/complaint/123915/^; " + kServiceSiteName +
                "] about conformity of files of archive declared.]]");
}

}  // namespace
}  // namespace kestrum
