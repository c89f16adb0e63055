#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "contract/terms.h"
#include "events/condition_terms.h"

using namespace contract;
using namespace events;

namespace {

TEST(EventsTerms, WildcardsMatchWholeNames) {
  struct Case {
    const char* term;
    const char* name;
    bool matches;
  };
  const Case cases[] = {
      {"faces", "faces", true}, {"face", "faces", false},  {"face*", "faces", true},
      {"*s", "faces", true},    {"f?ces", "faces", true},  {"*a*e*", "faces", true},
      {"a*a", "a", false},      {"*ab*ab*", "abab", true}, {"*ab*ab*", "aba", false},
      {"*", "", true},          {"?", "", false},          {"*c?d*", "xxcxcxdx", true},
      {"F*", "faces", false},   {"**s", "s", true},        {"a*b*c", "abbc", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(contract::matchesWildcard(c.term, c.name), c.matches) << c.term << " ~ " << c.name;
}

TEST(EventsTerms, KeepsWhatAnyTermMatchesInConditionOrder) {
  const std::vector<std::string> conditions = {"faces", "houses", "objects"};
  const ConditionChoice choice = chooseConditions(conditions, " house* , faces,, none ");
  EXPECT_EQ(choice.kept, (std::vector<std::size_t>{0, 1}));
  EXPECT_EQ(choice.unmatched, std::vector<std::string>{"none"});
  EXPECT_EQ(chooseConditions(conditions, " , ").kept, (std::vector<std::size_t>{0, 1, 2}));
}

}  // namespace
