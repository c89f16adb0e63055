#include "correlation/predictor_role.h"

#include <algorithm>
#include <cstdint>

#include "sdm/design_matrix.h"

namespace correlation {

std::string_view roleName(PredictorRole role) {
  switch (role) {
    case PredictorRole::interest:
      return "interest";
    case PredictorRole::confound:
      return "confound";
    case PredictorRole::constant:
      return "constant";
    case PredictorRole::flat:
      break;
  }
  return "flat";
}

std::size_t confoundStart(const sdm::DesignMatrix& matrix, std::size_t count) {
  // In 64 bits: the header's value may be the least 32-bit integer.
  return static_cast<std::size_t>(std::clamp<int64_t>(int64_t{matrix.firstConfoundPredictor} - 1, 0,
                                                      static_cast<int64_t>(count)));
}

PredictorRole roleOf(std::span<const float> values, const PredictorStats& stats, std::size_t index,
                     std::size_t firstConfound) {
  if (sdm::isConstantPredictor(values)) return PredictorRole::constant;
  if (isFlat(values, stats)) return PredictorRole::flat;
  return index < firstConfound ? PredictorRole::interest : PredictorRole::confound;
}

std::vector<PredictorRole> predictorRoles(const sdm::DesignMatrix& matrix) {
  const std::size_t k = matrix.predictors.size();
  const std::size_t start = confoundStart(matrix, k);
  std::vector<PredictorRole> roles(k);
  for (std::size_t i = 0; i < k; ++i) {
    const std::vector<float>& values = matrix.predictors[i].values;
    roles[i] = roleOf(values, predictorStats(values), i, start);
  }
  return roles;
}

}  // namespace correlation
