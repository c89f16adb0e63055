#pragma once

#include <span>

#include "sdm/design_matrix.h"  // isConstantPredictor, the test shared with the model

// Statistics and correlation of predictors in exact IEEE single precision: every sum runs in
// index order into one accumulator, every product is rounded before it is added. The results
// are bit-for-bit what that order of operations gives.

// Mean and sample standard deviation (denominator n - 1) of one predictor.
struct PredictorStats {
  float mean;
  float stdDev;
};

// The standard-deviation floor: below it a predictor counts as flat. The float nearest 0.0001.
inline constexpr float minStdDev = 0.0001f;

// Mean and sample standard deviation of `values`. n - 1 is taken from the unsigned 64-bit
// count, so n = 0 gives stdDev 0 (mean NaN) and n = 1 gives stdDev NaN.
PredictorStats predictorStats(std::span<const float> values);

// Pearson's correlation of `a` and `b` by the cross-product formula: 0 when the lengths
// differ or either standard deviation is below minStdDev (a NaN one passes). Not clamped.
float correlation(std::span<const float> a, std::span<const float> b);
