#include "base/split.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace base;

namespace {

TEST(Split, BehavesLikeReadingLinesFromAStream) {
  using List = std::vector<std::string>;
  EXPECT_EQ(split("", '\n'), List{});
  EXPECT_EQ(split("a", '\n'), List{"a"});
  EXPECT_EQ(split("a\n", '\n'), List{"a"});
  EXPECT_EQ(split("\n", '\n'), List{""});
  EXPECT_EQ(split("a\n\nb", '\n'), (List{"a", "", "b"}));
  EXPECT_EQ(split("a\r\nb\r\n", '\n'), (List{"a\r", "b\r"}));
  EXPECT_EQ(split(" a \n\n\n", '\n'), (List{" a ", "", ""}));
}

}  // namespace
