#include <cstddef>
#include <cstdint>

#include "correlation/correlation.h"
#include "sdm/design_matrix.h"

void DesignMatrix::zTransform(int32_t firstIndex) {
  // The index is compared as an unsigned quantity: a negative one lies past every predictor.
  for (auto k = static_cast<std::size_t>(firstIndex); k < values.size(); ++k) {
    std::vector<float>& predictor = values[k];
    if (isConstantPredictor(predictor)) continue;
    const PredictorStats stats = predictorStats(predictor);
    const float divisor = stats.stdDev < minStdDev ? 1.0f : stats.stdDev;
    for (float& v : predictor) v = (v - stats.mean) / divisor;
  }
}

void DesignMatrix::zTransformConfounds() {
  // The lowest index a file can hold has no predecessor; it names no confound either.
  if (firstConfoundPredictor.value == INT32_MIN) return;
  zTransform(firstConfoundPredictor.value - 1);
}
