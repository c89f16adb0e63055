#pragma once

#include <cstdint>

#include "sdm/design_matrix.h"

namespace correlation {

// Standardises in place every non-constant predictor of `matrix` from the 0-based `firstIndex`
// to the last: (v - mean) / stdDev, or v - mean when the standard deviation is below the
// predictor's floor (stdDevFloor) or 0.
// A negative `firstIndex` transforms nothing.
void zTransform(sdm::DesignMatrix& matrix, int32_t firstIndex);

// zTransform(matrix, firstConfoundPredictor - 1): standardises the confound block.
void zTransformConfounds(sdm::DesignMatrix& matrix);

}  // namespace correlation
