#pragma once

#include <algorithm>
#include <cstddef>

#include "sdm/design_matrix.h"

namespace correlation {

// The number of predictors that the correlation report, the heatmap and the flagged pairs
// cover: nrOfPredictors.value (none when negative), cut to the names and values that exist.
// The model keeps all three equal; the cut only guards against reading out of bounds.
inline std::size_t coveredPredictorCount(const sdm::DesignMatrix& matrix) {
  return std::min({static_cast<std::size_t>(std::max(matrix.nrOfPredictors.value, 0)),
                   matrix.names.size(), matrix.values.size()});
}

}  // namespace correlation
