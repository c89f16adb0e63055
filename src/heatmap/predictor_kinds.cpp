#include "heatmap/predictor_kinds.h"

#include <algorithm>
#include <cstddef>

#include "correlation/correlation.h"
#include "heatmap/plot_legend.h"
#include "sdm/design_matrix.h"

std::vector<PredictorKind> predictorKinds(const DesignMatrix& matrix, int count) {
  const auto start = static_cast<std::size_t>(confoundStart(matrix, count));
  std::vector<PredictorKind> kinds(static_cast<std::size_t>(std::max(count, 0)));
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    const std::vector<float>& values = matrix.values[i];
    if (isConstantPredictor(values))
      kinds[i] = PredictorKind::constant;
    else if (isFlat(values, predictorStats(values)))
      kinds[i] = PredictorKind::flat;
    else
      kinds[i] = i < start ? PredictorKind::interest : PredictorKind::confound;
  }
  return kinds;
}

int confoundCount(std::span<const PredictorKind> kinds) {
  return static_cast<int>(std::count(kinds.begin(), kinds.end(), PredictorKind::confound));
}
