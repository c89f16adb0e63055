#include "correlation/correlation.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Values = std::vector<float>;

constexpr float qnan = std::numeric_limits<float>::quiet_NaN();
constexpr float inf = std::numeric_limits<float>::infinity();

uint32_t bits(float value) { return std::bit_cast<uint32_t>(value); }

}  // namespace

// Expected bits worked out by hand, one single-precision rounding per operation in the order
// of the formulas; a sum in double precision or in another order gives other bits.
TEST(PredictorStats, GivesTheBitsOfSinglePrecisionInIndexOrder) {
  struct Case {
    Values values;
    uint32_t mean, stdDev;
  };
  const Case cases[] = {
      {{1.0f, 3.0f}, 0x40000000, 0x3fb504f3},              // 2, sqrt(2)
      {{1.0f, 2.0f, 3.0f, 4.0f}, 0x40200000, 0x3fa53f4e},  // 2.5, sqrt(5/3)
      {{0.1f, 0.2f, 0.3f}, 0x3e4ccccd, 0x3dccccce},        // 0.2, 0.100000009
      // In order, 1e8 + 1 is 1e8 again, so the sum is 1 and the mean 0.25 (not 0.5).
      {{1e8f, 1.0f, -1e8f, 1.0f}, 0x3e800000, 0x4c9bbc00},
  };
  for (const auto& c : cases) {
    const PredictorStats stats = predictorStats(c.values);
    EXPECT_EQ(bits(stats.mean), c.mean) << c.values[0];
    EXPECT_EQ(bits(stats.stdDev), c.stdDev) << c.values[0];
  }
}

TEST(PredictorStats, NoValuesGiveNanMeanAndZeroDeviationOneValueNanDeviation) {
  const PredictorStats none = predictorStats(Values{});
  EXPECT_TRUE(std::isnan(none.mean));
  EXPECT_EQ(bits(none.stdDev), bits(0.0f));
  const PredictorStats one = predictorStats(Values{5.0f});
  EXPECT_EQ(one.mean, 5.0f);
  EXPECT_TRUE(std::isnan(one.stdDev));
}

TEST(Correlation, GivesTheBitsOfTheCrossProductFormula) {
  struct Case {
    Values a, b;
    uint32_t expected;
  };
  const Case cases[] = {
      {{1, 2, 3, 4}, {5, 7, 9, 11}, 0x3f800001},     // b = 2a + 3: one ulp above 1
      {{1, 2, 3, 4}, {-1, -2, -3, -4}, 0xbf800001},  // b = -a
      {{1, 2, 3, 4}, {1, 2, 3, 4}, 0x3f800001},      // itself
      {{0.1f, 0.2f, 0.3f}, {0.1f, 0.2f, 0.3f}, 0x3f800003},
      {{0.1f, 0.2f, 0.3f}, {0.3f, 0.1f, 0.7f}, 0x3f279763},  // 0.654653728
      // The dot product loses the small products in order: -0.478091359.
      {{1e8f, 1, -1e8f, 1}, {1, 2, 3, 5}, 0xbef4c864},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(bits(correlation(c.a, c.b)), c.expected) << c.b[0];
    EXPECT_EQ(bits(correlation(c.b, c.a)), c.expected) << c.b[0];
  }
}

TEST(Correlation, IsZeroForFlatPredictorsAndDifferentLengths) {
  const Values ramp = {1, 2, 3, 4};
  const Values constant = {1, 1, 1, 1};
  const Values zeros = {0, 0, 0, 0};
  const Values tiny = {1.0f, 1.00001f, 1.0f, 1.00001f};       // standard deviation about 5.8e-6
  const Values barelyAbove = {0.0f, 0.0002f, 0.0f, 0.0002f};  // about 1.15e-4
  ASSERT_LT(predictorStats(tiny).stdDev, minStdDev);
  ASSERT_GT(predictorStats(tiny).stdDev, 0.0f);
  const struct {
    Values a, b;
  } zeroCases[] = {
      {constant, ramp}, {ramp, constant}, {constant, constant},      {zeros, ramp},
      {tiny, ramp},     {tiny, tiny},     {ramp, {1, 2, 3}},         {{1, 2, 3}, ramp},
      {{}, {}},         {{}, ramp},       {{qnan, qnan}, {1, 2, 3}},  // lengths differ: 0 even with
                                                                      // a NaN
  };
  for (const auto& c : zeroCases) EXPECT_EQ(bits(correlation(c.a, c.b)), bits(0.0f));
  EXPECT_NEAR(correlation(barelyAbove, ramp), 0.447f, 0.001f);
}

TEST(Correlation, LetsNanDeviationsThrough) {
  // One data point: the standard deviation is 0/0, which the floor test does not catch.
  EXPECT_TRUE(std::isnan(correlation(Values{1.0f}, Values{2.0f})));
  EXPECT_TRUE(std::isnan(correlation(Values{1, 2, qnan, 4}, Values{1, 2, 3, 4})));
  EXPECT_TRUE(std::isnan(correlation(Values{1, 2, inf, 4}, Values{1, 2, 3, 4})));
}

TEST(IsConstantPredictor, NeedsEqualNonZeroValues) {
  const struct {
    Values values;
    bool expected;
  } cases[] = {
      {{}, false},
      {{0, 0, 0}, false},
      {{-0.0f, 0.0f}, false},
      {{1, 1, 1}, true},
      {{2}, true},
      {{-3, -3}, true},
      {{inf, inf}, true},
      {{1, 1, qnan}, false},
      {{qnan, qnan}, false},
      {{1, 1.0000001f}, false},
      {{0, 1, 1}, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(isConstantPredictor(c.values), c.expected) << c.values.size();
}
