#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "sdm/design_matrix.h"

namespace testing_support {

// Views of `columns`, as the correlation and cross-product kernels take predictors; valid while
// `columns` lives unchanged.
inline std::vector<std::span<const float>> spansOf(const std::vector<std::vector<float>>& columns) {
  return std::vector<std::span<const float>>(columns.begin(), columns.end());
}

// Predictors named `names` with the values `columns` (as many of each), colour 0 0 0.
inline std::vector<sdm::Predictor> predictorsOf(std::vector<std::string> names,
                                                std::vector<std::vector<float>> columns) {
  std::vector<sdm::Predictor> predictors(names.size());
  for (std::size_t p = 0; p < predictors.size(); ++p) {
    predictors[p].name = std::move(names[p]);
    predictors[p].values = std::move(columns.at(p));
  }
  return predictors;
}

}  // namespace testing_support
