#pragma once

#include <cmath>
#include <span>

#include "sdm/design_matrix.h"  // isConstantPredictor, the test shared with the model

// Statistics and correlation of predictors in exact IEEE single precision: every sum runs in
// index order into one accumulator, every product is rounded before it is added. The results
// are bit-for-bit what that order of operations gives.
namespace correlation {

// Mean and sample standard deviation (denominator n - 1) of one predictor.
struct PredictorStats {
  float mean;
  float stdDev;
};

// The standard-deviation floor of a predictor whose values reach 1: the float nearest 0.0001.
inline constexpr float minStdDev = 0.0001f;

// The standard-deviation floor of `values`: minStdDev x min(1, A) in single precision, A the
// largest magnitude among their finite values. minStdDev for every predictor whose values reach
// 1, proportionally lower for one of small values (rotations in radians, their squares), 0 for
// one of zeros.
float stdDevFloor(std::span<const float> values);

// True when `values`, whose statistics are `stats`, count as flat: all their values compare
// equal (isFlatPredictor), or the standard deviation lies below stdDevFloor (a NaN one does not).
// A flat predictor correlates 0 with everything, is hatched in the pictures and has no variance
// inflation factor.
bool isFlat(std::span<const float> values, const PredictorStats& stats);

// Mean and sample standard deviation of `values`. n - 1 is taken from the unsigned 64-bit
// count, so n = 0 gives stdDev 0 (mean NaN) and n = 1 gives stdDev NaN.
PredictorStats predictorStats(std::span<const float> values);

// True when every value compares equal to the first: no NaN, any value (zero too). No values
// and a single value count as flat. A flat predictor correlates 0 with everything.
bool isFlatPredictor(std::span<const float> values);

// How far the cross-product result may lie from the centred one and still be taken: 2^-16,
// below what the report's two decimals show and far above the rounding of ordinary data, so that
// the cross-product bits stand wherever they were right and predictors with large means against
// their spread get the centred result.
inline constexpr double maxCorrelationGap = 0x1p-16;

// The correlation from its two forms over the same denominator: the cross-product result
// `crossProduct`, (dot - mean x mean x n) / denominator, which cancels when the means are large
// against the spread, and the centred result `centred`, sum of (a - mean a) x (b - mean b) /
// denominator. The cross-product result when the two lie within maxCorrelationGap of each other,
// else the centred one (also when the cross-product one is NaN). The gap is taken in double
// precision, where the difference of two floats of similar scale is exact.
inline float chooseCorrelation(float crossProduct, float centred) {
  const double gap = static_cast<double>(crossProduct) - static_cast<double>(centred);
  return std::fabs(gap) <= maxCorrelationGap ? crossProduct : centred;
}

// Pearson's correlation of `a` and `b`: 0 when either is flat (isFlat: all values equal, or a
// standard deviation below its floor; a NaN one passes) or when the lengths differ; else
// chooseCorrelation of the cross-product and the centred result. Not clamped.
float correlation(std::span<const float> a, std::span<const float> b);

}  // namespace correlation
