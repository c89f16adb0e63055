#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "correlation/correlation.h"
#include "correlation/ztransform.h"
#include "random_predictors.h"
#include "sdm/design_matrix.h"
#include "sdm/matrix_text.h"

using namespace sdm;
using namespace correlation;

namespace {

using Values = std::vector<float>;

// Predictors of interest first, then the confound block from the 1-based `firstConfound`.
DesignMatrix matrixOf(const std::vector<Values>& predictors, int32_t firstConfound) {
  DesignMatrix m;
  m.fileName = "z.sdm";
  m.nrOfDataPoints = predictors.empty() ? 0 : static_cast<int32_t>(predictors[0].size());
  m.firstConfoundPredictor = firstConfound;
  for (std::size_t p = 0; p < predictors.size(); ++p)
    m.predictors.push_back({"P" + std::to_string(p + 1), {1, 2, 3}, {}, predictors[p]});
  setKindsByPosition(m);
  return m;
}

std::vector<uint32_t> bitsOf(const Values& values) {
  std::vector<uint32_t> bits;
  for (const float v : values) bits.push_back(std::bit_cast<uint32_t>(v));
  return bits;
}

const Values interest = {0.5f, -1.25f, 3.0f, 7.5f, 2.0f};
const Values motion = {0.1f, 0.4f, -0.3f, 0.25f, 0.05f};
const Values drift = {10.0f, 20.0f, 30.0f, 40.0f, 55.0f};
const Values zeros = {0, 0, 0, 0, 0};
const Values tiny = {1.0f, 1.00001f, 1.0f, 1.00001f, 1.0f};
const Values constant = {1, 1, 1, 1, 1};

}  // namespace

TEST(ZTransformConfounds, StandardisesTheConfoundBlockOnly) {
  DesignMatrix m = matrixOf({interest, motion, drift, zeros, tiny, constant}, 2);
  zTransformConfounds(m);
  EXPECT_EQ(bitsOf(m.predictors[0].values), bitsOf(interest));
  EXPECT_EQ(bitsOf(m.predictors[5].values), bitsOf(constant));
  EXPECT_EQ(bitsOf(m.predictors[3].values), bitsOf(zeros));
  for (const std::size_t k : {1u, 2u}) {
    const PredictorStats stats = predictorStats(m.predictors[k].values);
    EXPECT_NEAR(stats.mean, 0.0f, 1e-6f) << k;
    EXPECT_NEAR(stats.stdDev, 1.0f, 1e-6f) << k;
  }
  // Below the floor the divisor is 1: only the mean is taken away.
  const PredictorStats before = predictorStats(tiny);
  Values expected;
  for (const float v : tiny) expected.push_back(v - before.mean);
  EXPECT_EQ(bitsOf(m.predictors[4].values), bitsOf(expected));
  // Names, colours and the header stay as they were.
  EXPECT_EQ(namesOf(m.predictors), (std::vector<std::string>{"P1", "P2", "P3", "P4", "P5", "P6"}));
  EXPECT_EQ(m.predictors.size(), 6u);
  EXPECT_EQ(m.firstConfoundPredictor, 2);
  EXPECT_EQ(sdm_test::kindsText(m), "interest confound confound confound confound constant");
}

TEST(ZTransformConfounds, GivesTheBitsOfSinglePrecision) {
  // Mean 2 and standard deviation sqrt(2) = 1.41421354f: (1 - 2) / 1.41421354f and back.
  DesignMatrix m = matrixOf({{1.0f, 3.0f}}, 1);
  zTransformConfounds(m);
  EXPECT_EQ(bitsOf(m.predictors[0].values), (std::vector<uint32_t>{0xbf3504f3, 0x3f3504f3}));
}

TEST(ZTransformConfounds, ChangesNothingWithoutAConfoundBlock) {
  for (const int32_t first : {4, 0, -5, 100, std::numeric_limits<int32_t>::min()}) {
    DesignMatrix m = matrixOf({interest, motion, drift}, first);
    zTransformConfounds(m);
    EXPECT_EQ(bitsOf(m.predictors[0].values), bitsOf(interest)) << first;
    EXPECT_EQ(bitsOf(m.predictors[1].values), bitsOf(motion)) << first;
    EXPECT_EQ(bitsOf(m.predictors[2].values), bitsOf(drift)) << first;
  }
}

TEST(ZTransform, TreatsANegativeIndexAsPastTheEnd) {
  DesignMatrix m = matrixOf({interest, motion}, 1);
  zTransform(m, -1);
  EXPECT_EQ(bitsOf(m.predictors[0].values), bitsOf(interest));
  EXPECT_EQ(bitsOf(m.predictors[1].values), bitsOf(motion));
  zTransform(m, 0);
  EXPECT_NEAR(predictorStats(m.predictors[0].values).stdDev, 1.0f, 1e-6f);
}

TEST(ZTransformConfounds, LeavesNoDataPointsAloneAndTurnsOneIntoNan) {
  DesignMatrix empty = matrixOf({{}, {}}, 1);
  zTransformConfounds(empty);
  EXPECT_TRUE(empty.predictors[0].values.empty());
  // One data point: a single non-zero value is a constant predictor and stays; a zero is
  // transformed, (0 - 0) / NaN.
  DesignMatrix single = matrixOf({{2.5f}, {0.0f}, {-0.0f}}, 1);
  zTransformConfounds(single);
  EXPECT_EQ(single.predictors[0].values[0], 2.5f);
  EXPECT_TRUE(std::isnan(single.predictors[1].values[0]));
  EXPECT_TRUE(std::isnan(single.predictors[2].values[0]));
}

TEST(ZTransformConfounds, MatchesThePlainPredictorByPredictorLoopBitForBit) {
  // Eight predictors' statistics run side by side; each must still be the plain loop's.
  std::mt19937 random(5);
  for (const std::size_t k : {1u, 7u, 8u, 9u, 17u, 40u}) {
    for (const std::size_t n : {0u, 1u, 2u, 5u, 300u}) {
      const auto predictors = random_predictors::randomMatrix(random, k, n);
      const auto first = static_cast<int32_t>(random() % (k + 1)) + 1;
      DesignMatrix m = matrixOf(predictors, first);
      zTransformConfounds(m);
      for (std::size_t p = 0; p < k; ++p) {
        Values expected = predictors[p];
        if (p + 1 >= static_cast<std::size_t>(first) && !isConstantPredictor(expected)) {
          const PredictorStats stats = predictorStats(expected);
          const float divisor = stats.stdDev < minStdDev ? 1.0f : stats.stdDev;
          for (float& v : expected) v = (v - stats.mean) / divisor;
        }
        SCOPED_TRACE("k " + std::to_string(k) + ", n " + std::to_string(n) + ", predictor " +
                     std::to_string(p));
        random_predictors::expectSameBits(m.predictors[p].values, expected);
        if (HasFatalFailure()) return;
      }
    }
  }
}
