#include "heatmap/predictor_kinds.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "correlation/correlation.h"
#include "sdm/design_matrix.h"

int confoundStart(const DesignMatrix& matrix, int count) {
  // In 64 bits: the header's value may be the least 32-bit integer.
  const int64_t start =
      std::clamp<int64_t>(int64_t{matrix.firstConfoundPredictor.value} - 1, 0, count);
  return static_cast<int>(start);
}

std::vector<PredictorKind> predictorKinds(const DesignMatrix& matrix, int count) {
  const int start = confoundStart(matrix, count);
  std::vector<PredictorKind> kinds(static_cast<std::size_t>(std::max(count, 0)));
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    const std::vector<float>& values = matrix.values[i];
    if (isConstantPredictor(values))
      kinds[i] = PredictorKind::constant;
    else if (isFlatPredictor(values) || predictorStats(values).stdDev < minStdDev)
      kinds[i] = PredictorKind::flat;
    else
      kinds[i] = static_cast<int>(i) < start ? PredictorKind::interest : PredictorKind::confound;
  }
  return kinds;
}

int confoundCount(std::span<const PredictorKind> kinds) {
  return static_cast<int>(std::count(kinds.begin(), kinds.end(), PredictorKind::confound));
}
