#include "contract/marks.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "contract/parameters.h"
#include "support/row_name.h"

namespace {

using contract::Mark;
using contract::RunMeasures;

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

struct MarkCase {
  const char* what;
  RunMeasures run;
  contract::MarkLimits limits;
  Mark mark;
  std::vector<std::string> reasons;
};

RunMeasures::Contrast cost(const char* name, double value) { return {name, true, value, ""}; }
RunMeasures::Contrast blocked(const char* name, const char* reason) {
  return {name, false, nan, reason};
}
RunMeasures scrubbed(std::size_t volumes) { return {{}, {}, {}, volumes, 100}; }

const contract::MarkLimits defaults;

class Marks : public ::testing::TestWithParam<MarkCase> {};

TEST_P(Marks, FollowTheOneRule) {
  const MarkCase& row = GetParam();
  const contract::RunMark mark = contract::markRun(row.run, row.limits);
  EXPECT_EQ(mark.mark, row.mark);
  EXPECT_EQ(mark.reasons, row.reasons);
}

const MarkCase markCases[] = {
    {"nothing", {{}, {}, {}, 0, 0}, defaults, Mark::ok, {}},
    {"factors below amber, NaN and a cost below amber",
     {{{"faces", 4.99}, {"houses", nan}}, {cost("faces", 1.49), cost("trans_x", nan)}, {}, 0, 0},
     defaults,
     Mark::ok,
     {}},
    {"factors amber and red, largest first",
     {{{"faces", 5.0}, {"houses", 44.45}, {"objects", 9.994}}, {}, {}, 0, 0},
     defaults,
     Mark::red,
     {"houses VIF 44.5", "objects VIF 9.99", "faces VIF 5"}},
    {"an infinite factor",
     {{{"faces", inf}}, {}, {}, 0, 0},
     defaults,
     Mark::red,
     {"faces VIF inf"}},
    {"costs amber and red",
     {{}, {cost("a", 1.5), cost("faces - houses", 2.3), cost("b", 1234.6)}, {}, 0, 0},
     defaults,
     Mark::red,
     {"faces - houses costs x2.3 with the confounds", "b costs x1235 with the confounds",
      "a costs x1.5 with the confounds"}},
    {"a contrast that cannot be estimated first",
     {{{"faces", 12.0}},
      {cost("faces", 1.7), blocked("faces - houses", "houses has no events")},
      {{"faces", "houses", 0.97}},
      0,
      0},
     defaults,
     Mark::red,
     {"faces - houses cannot be estimated (houses has no events)", "faces VIF 12",
      "faces costs x1.7 with the confounds", "faces ~ houses r = 0.97"}},
    {"a fifth scrubbed", scrubbed(20), defaults, Mark::ok, {}},
    {"more than a fifth scrubbed", scrubbed(21), defaults, Mark::red, {"scrubbed 21 %"}},
    {"a share to a tenth", {{}, {}, {}, 3, 11}, defaults, Mark::red, {"scrubbed 27.3 %"}},
    {"no volumes", {{}, {}, {}, 0, 0}, defaults, Mark::ok, {}},
    {"pairs amber, the rest counted",
     {{},
      {},
      {{"a", "trans_x", -0.81},
       {"b", "c", 0.8},
       {"c", "d", 0.8},
       {"d", "e", 0.8},
       {"e", "f", 0.8},
       {"f", "g", 0.8},
       {"g", "h", 0.8},
       {"h", "i", 0.8},
       {"i", "j", 0.8},
       {"j", "k", 0.8},
       {"k", "l", 0.8}},
      0,
      0},
     defaults,
     Mark::amber,
     {"a ~ trans_x r = -0.81", "b ~ c r = 0.80", "c ~ d r = 0.80", "d ~ e r = 0.80",
      "e ~ f r = 0.80", "f ~ g r = 0.80", "g ~ h r = 0.80", "h ~ i r = 0.80", "i ~ j r = 0.80",
      "j ~ k r = 0.80", "1 more flagged pair with a predictor of interest"}},
    {"limits of the user's",
     {{{"faces", 3.0}}, {cost("faces", 1.2)}, {}, 10, 100},
     {2.0, 3.0, 1.1, 1.3, 0.05},
     Mark::red,
     {"faces VIF 3", "scrubbed 10 %", "faces costs x1.2 with the confounds"}},
};
INSTANTIATE_TEST_SUITE_P(Rows, Marks, ::testing::ValuesIn(markCases), testing_support::rowName);

TEST(Marks, HaveTheirWords) {
  for (const Mark mark : {Mark::ok, Mark::amber, Mark::red})
    EXPECT_EQ(contract::markNamed(contract::markWord(mark)), mark);
  EXPECT_EQ(contract::markNamed("green"), std::nullopt);
}

// The dialog's empty texts mean the limits the rule defaults to.
TEST(Marks, DefaultToTheLimitsTheParametersDefaultTo) {
  namespace name = contract::parameter;
  const std::pair<const char*, double> limits[] = {{name::amberVif, defaults.amberVif},
                                                   {name::redVif, defaults.redVif},
                                                   {name::amberCost, defaults.amberCost},
                                                   {name::redCost, defaults.redCost},
                                                   {name::redScrubbed, defaults.redScrubbed}};
  for (const auto& [parameter, value] : limits) {
    const contract::ParameterRule& rule = *contract::parameterRule(parameter);
    EXPECT_EQ(contract::parameterNumber(rule, rule.defaultText), value) << parameter;
  }
}

}  // namespace
