#include "correlation/correlation.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "random_predictors.h"
#include "support/reference_correlation.h"

using namespace correlation;

namespace {

using testing_support::referenceCorrelation;
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
    EXPECT_EQ(bits(correlation::correlation(c.a, c.b)), c.expected) << c.b[0];
    EXPECT_EQ(bits(correlation::correlation(c.b, c.a)), c.expected) << c.b[0];
  }
}

TEST(Correlation, IsZeroForFlatPredictorsAndDifferentLengths) {
  const Values ramp = {1, 2, 3, 4};
  const Values constant = {1, 1, 1, 1};
  const Values zeros = {0, 0, 0, 0};
  const Values tiny = {1.0f, 1.00001f, 1.0f, 1.00001f};       // standard deviation about 5.8e-6
  const Values barelyAbove = {0.0f, 0.0002f, 0.0f, 0.0002f};  // about 1.15e-4
  // The floor scales with the largest value below 1: 5e-9 here, under the deviation of 2.9e-5.
  const Values small = {0.0f, 5e-5f, 0.0f, 5e-5f};
  // A deviation of 5.8e-12 against a floor of 1e-10: flat at its own scale.
  const Values tinyAtItsScale = {1e-6f, 1.00001e-6f, 1e-6f, 1.00001e-6f};
  ASSERT_LT(predictorStats(tiny).stdDev, minStdDev);
  ASSERT_GT(predictorStats(tiny).stdDev, 0.0f);
  EXPECT_EQ(bits(stdDevFloor(ramp)), bits(minStdDev));
  EXPECT_EQ(bits(stdDevFloor(small)), bits(minStdDev * 5e-5f));
  EXPECT_EQ(bits(stdDevFloor(zeros)), bits(0.0f));
  EXPECT_EQ(bits(stdDevFloor(Values{-inf, 0.5f, qnan})), bits(minStdDev * 0.5f));
  const struct {
    Values a, b;
  } zeroCases[] = {
      {constant, ramp},
      {ramp, constant},
      {constant, constant},
      {zeros, ramp},
      {tiny, ramp},
      {tiny, tiny},
      {tinyAtItsScale, ramp},
      {ramp, {1, 2, 3}},
      {{1, 2, 3}, ramp},
      {{}, {}},
      {{}, ramp},
      {{qnan, qnan}, {1, 2, 3}},  // lengths differ: 0 even with a NaN
  };
  for (const auto& c : zeroCases) EXPECT_EQ(bits(correlation::correlation(c.a, c.b)), bits(0.0f));
  EXPECT_NEAR(correlation::correlation(barelyAbove, ramp), 0.447f, 0.001f);
  EXPECT_NEAR(correlation::correlation(small, ramp), 0.447f, 0.001f);
}

TEST(Correlation, LetsNanDeviationsThrough) {
  EXPECT_TRUE(std::isnan(correlation::correlation(Values{1, 2, qnan, 4}, Values{1, 2, 3, 4})));
  EXPECT_TRUE(std::isnan(correlation::correlation(Values{1, 2, inf, 4}, Values{1, 2, 3, 4})));
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
    EXPECT_EQ(sdm::isConstantPredictor(c.values), c.expected) << c.values.size();
}

namespace {

// The formula the report used before the centred result existed: (dot - mean x mean x n) /
// ((sd x sd) x (n - 1)), for predictors of equal length whose deviations pass the floor.
float crossProductCorrelation(const Values& a, const Values& b) {
  const PredictorStats sa = predictorStats(a), sb = predictorStats(b);
  float dot = 0.0f;
  for (std::size_t i = 0; i < a.size(); ++i) dot = dot + a[i] * b[i];
  const auto n = static_cast<int32_t>(a.size());
  return (dot - (sb.mean * sa.mean) * static_cast<float>(n)) /
         ((sb.stdDev * sa.stdDev) * static_cast<float>(n - 1));
}

// Two predictors around `offset` with standard deviation `spread` and correlation about `rho`.
std::pair<Values, Values> correlatedPair(float offset, float spread, float rho, std::size_t n,
                                         unsigned seed) {
  std::mt19937 random(seed);
  std::normal_distribution<float> normal;
  Values a(n), b(n);
  const float rest = std::sqrt(1.0f - rho * rho);
  for (std::size_t i = 0; i < n; ++i) {
    const float u = normal(random), v = normal(random);
    a[i] = offset + spread * u;
    b[i] = offset + spread * (rho * u + rest * v);
  }
  return {a, b};
}

}  // namespace

TEST(Correlation, StaysWithinAHundredthOfTheReferenceWhereCrossProductsCancel) {
  const auto [a, b] = correlatedPair(50000.0f, 200.0f, 0.5f, 1000, 11);
  const auto [c, d] = correlatedPair(50000.0f, 10.0f, 0.5f, 1000, 12);
  const auto [e, f] = correlatedPair(0.0f, 1.0f, 0.5f, 1000, 13);
  Values ramp(1000), twiceRampPlus3(1000), minusRamp(1000);
  for (std::size_t i = 0; i < ramp.size(); ++i) {
    ramp[i] = 1.0e5f + static_cast<float>(i % 97) * 0.25f;
    twiceRampPlus3[i] = 2.0f * ramp[i] + 3.0f;
    minusRamp[i] = 3.0e5f - ramp[i];
  }
  // Means 20 to 300 times the spread, as global signals in scanner units have them.
  const auto [g, h] = correlatedPair(600.0f, 12.0f, 0.43502f, 1000, 14);
  const auto [p, q] = correlatedPair(3000.0f, 10.0f, -0.8f, 4000, 15);
  const auto [u, v] = correlatedPair(200.0f, 10.0f, 0.2f, 10000, 16);
  const struct {
    const char* what;
    const Values &x, &y;
    double within;
  } cases[] = {
      {"means 50,000, sd 200", a, b, 0.01},
      {"means 50,000, sd 10", c, d, 0.01},
      {"sd 10 with itself", c, c, 0.01},
      {"means 0, sd 1", e, f, 2e-5},
      {"linear at 100,000", ramp, twiceRampPlus3, 0.01},
      {"falling at 100,000", ramp, minusRamp, 0.01},
      {"mean 50 sd", g, h, 2e-5},
      {"mean 300 sd", p, q, 2e-5},
      {"mean 20 sd", u, v, 2e-5},
  };
  for (const auto& k : cases) {
    const double reference = referenceCorrelation(k.x, k.y);
    EXPECT_NEAR(correlation::correlation(k.x, k.y), reference, k.within) << k.what;
    EXPECT_EQ(bits(correlation::correlation(k.x, k.y)), bits(correlation::correlation(k.y, k.x)))
        << k.what;
  }
  // The cross-product formula alone is far off here: the reason for the centred result.
  EXPECT_GT(std::fabs(crossProductCorrelation(c, d) - referenceCorrelation(c, d)), 0.1);
}

TEST(Correlation, FlatPredictorsCorrelateZeroWithEverythingThemselvesIncluded) {
  // 1234.567017 has no exact mean in single precision: its deviation passes the floor.
  const Values inexact(120, 1234.567017f);
  ASSERT_FALSE(predictorStats(inexact).stdDev < minStdDev);
  Values ramp(120);
  for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<float>(i);
  const Values flats[] = {inexact, Values(120, 0.0f), Values(120, -inf), Values{7.0f}};
  for (const auto& flat : flats) {
    EXPECT_EQ(bits(correlation::correlation(flat, flat)), bits(0.0f)) << flat[0];
    EXPECT_EQ(bits(correlation::correlation(flat, ramp)), bits(0.0f)) << flat[0];
    EXPECT_EQ(bits(correlation::correlation(ramp, flat)), bits(0.0f)) << flat[0];
  }
  EXPECT_FALSE(isFlatPredictor(Values{qnan, qnan}));
  EXPECT_FALSE(isFlatPredictor(Values{1.0f, 1.0f, 1.0000001f}));
}

// Wherever the cross-product result lay within the gap of the centred one it is kept bit for bit;
// every result that changed was further off than that.
TEST(Correlation, KeepsTheCrossProductBitsWhereverTheyWereRight) {
  std::mt19937 random(4242);
  std::size_t kept = 0, changed = 0;
  for (const std::size_t n : {2u, 3u, 7u, 100u, 700u}) {
    const auto predictors = random_predictors::randomMatrix(random, 40, n);
    for (const auto& a : predictors) {
      for (const auto& b : predictors) {
        const float now = correlation::correlation(a, b);
        if (a.size() != b.size() || isFlat(a, predictorStats(a)) || isFlat(b, predictorStats(b))) {
          ASSERT_EQ(bits(now), bits(0.0f));
          continue;
        }
        const float before = crossProductCorrelation(a, b);
        if (bits(now) == bits(before) || (std::isnan(now) && std::isnan(before))) {
          ++kept;
          continue;
        }
        ++changed;
        const double gap = std::fabs(static_cast<double>(now) - static_cast<double>(before));
        ASSERT_FALSE(gap <= maxCorrelationGap) << now << " was " << before;
      }
    }
  }
  EXPECT_GT(kept, 1000u);
  EXPECT_GT(changed, 10u);
}
