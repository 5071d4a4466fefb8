// The compact name table: the store that holds a million names, and the clash
// check that sorts their hashes in place.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/name_clashes.h"
#include "archive/name_store.h"

namespace kestrum {
namespace {

TEST(NameStore, NamesAcrossBlockEndsComeBackWhole) {
  // 32 KiB names fill a block and a half: the name that would straddle the
  // first block's end starts the second one instead.
  NameStore store;
  std::vector<std::string> names;
  std::vector<uint32_t> places;
  for (int i = 0; i < 50; ++i) {
    names.push_back(std::string(32 * 1024 - size_t(i % 3), char('a' + i % 26)) + "x");
    places.push_back(store.Add(names.back()));
  }
  places.push_back(store.Add(""));
  for (size_t i = 0; i < names.size(); ++i)
    EXPECT_EQ(store.View(places[i], uint32_t(names[i].size())), names[i]) << i;
  EXPECT_TRUE(store.View(places.back(), 0).empty());
  EXPECT_EQ(places[32] >> NameStore::kBlockBits, 1u);  // the 33rd does not fit the first
}

TEST(NameClash, FoundAmongManyNamesAndTheEarliestIsNamed) {
  std::vector<std::string> names;
  for (int i = 0; i < 60000; ++i)
    names.push_back("set" + std::to_string(i % 97) + "\\file" + std::to_string(i) + ".txt");
  const auto name = [&](size_t i) { return std::string_view(names[i]); };
  NameClash clash;
  EXPECT_FALSE(FindNameClash(names.size(), name, clash));

  names[50000] = "SET" + std::to_string(123 % 97) + "\\FILE123.TXT";  // clashes with entry 123
  names[59000] = names[7].substr(0, names[7].find('\\'));             // a file named like a folder
  ASSERT_TRUE(FindNameClash(names.size(), name, clash));
  EXPECT_EQ(clash.later, 50000u);
  EXPECT_EQ(clash.earlier, 123u);
  EXPECT_FALSE(clash.file_and_folder);

  names[50000] = "unique.txt";
  ASSERT_TRUE(FindNameClash(names.size(), name, clash));
  EXPECT_EQ(clash.later, 59000u);
  EXPECT_TRUE(clash.file_and_folder);
}

}  // namespace
}  // namespace kestrum
