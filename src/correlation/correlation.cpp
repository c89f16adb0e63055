#include "correlation/correlation.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace correlation {

PredictorStats predictorStats(std::span<const float> values) {
  float sum = 0.0f;
  for (const float v : values) sum = sum + v;
  const float mean = sum / static_cast<float>(values.size());
  float squares = 0.0f;
  for (const float v : values) {
    const float d = v - mean;
    squares = squares + d * d;
  }
  // n - 1 on the unsigned 64-bit count: for n = 0 it wraps to 2^64 - 1, which makes the
  // quotient 0 rather than a division by -1 or by zero.
  const uint64_t degrees = static_cast<uint64_t>(values.size()) - 1u;
  return {mean, std::sqrt(squares / static_cast<float>(degrees))};
}

bool isFlatPredictor(std::span<const float> values) {
  for (const float v : values) {
    if (!(v == values.front())) return false;  // a NaN equals nothing, itself included
  }
  return true;
}

float stdDevFloor(std::span<const float> values) {
  return minStdDev * std::min(1.0f, sdm::largestFiniteMagnitude(values));
}

bool isFlat(std::span<const float> values, const PredictorStats& stats) {
  // A strict test: a NaN standard deviation is not below the floor.
  return isFlatPredictor(values) || stats.stdDev < stdDevFloor(values);
}

float correlation(std::span<const float> a, std::span<const float> b) {
  if (isFlatPredictor(a) || isFlatPredictor(b)) return 0.0f;
  if (a.size() != b.size()) return 0.0f;
  const PredictorStats sa = predictorStats(a);
  const PredictorStats sb = predictorStats(b);
  // Neither has all values equal (above): flat now means a deviation below the floor.
  if (sa.stdDev < stdDevFloor(a) || sb.stdDev < stdDevFloor(b)) return 0.0f;
  float dot = 0.0f;
  float centred = 0.0f;
  for (std::size_t i = 0; i < a.size(); ++i) {
    dot = dot + a[i] * b[i];
    centred = centred + (a[i] - sa.mean) * (b[i] - sb.mean);
  }
  // Here the count is a 32-bit signed number, unlike in predictorStats.
  const auto n = static_cast<int32_t>(a.size());
  const float numerator = dot - (sb.mean * sa.mean) * static_cast<float>(n);
  const float denominator = (sb.stdDev * sa.stdDev) * static_cast<float>(n - 1);
  return chooseCorrelation(numerator / denominator, centred / denominator);
}

}  // namespace correlation
