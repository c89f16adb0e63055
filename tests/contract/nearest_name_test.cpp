#include "contract/nearest_name.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(NearestName, SuggestsTheNearestWithinTwoEditsTheListsFirstOnATie) {
  const std::vector<std::string> known = {"motion6", "motion12", "motion24", "warn", "tr", "hrf"};
  const struct {
    const char* word;
    const char* nearest;  // "" for none
  } cases[] = {
      {"motion25", "motion24"},  // one replacement
      {"motion2", "motion6"},    // one each from motion6, motion12 and motion24: the first
      {"motoin24", "motion24"},  // a swap of neighbours is one edit
      {"wanr", "warn"},         {"wa", "warn"}, {"tr", ""},  // a known name needs none
      {"motion999", ""},        {"", "tr"},     {"hrfff", "hrf"}, {"x", "tr"}, {"warning", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(contract::nearestName(c.word, known).value_or(""), c.nearest) << c.word;
  EXPECT_EQ(contract::suggestion("wanr", known, " (none)"), " (did you mean warn?)");
  EXPECT_EQ(contract::suggestion("zzzz", known, " (none)"), " (none)");
}

TEST(NearestName, CountsEditsUpToTheCapWhateverTheLength) {
  EXPECT_EQ(contract::editDistance("ztrans", "ztans", 2), 1u);
  EXPECT_EQ(contract::editDistance("ca", "abc", 5), 3u);  // a swap, then no edit inside it
  EXPECT_EQ(contract::editDistance(std::string(100000, 'a'), std::string(100000, 'b'), 2), 3u);
  EXPECT_EQ(contract::editDistance(std::string(100000, 'a'), "a", 2), 3u);
}

}  // namespace
