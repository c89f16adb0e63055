#pragma once

#include <cstddef>

#include "sdm/design_matrix.h"

namespace events {

// The colour of the condition at 0-based position `condition` of a design: one fixed palette of
// twelve distinct colours, repeated. Its time derivative (`derivative`) has the same colour at
// three fifths of the brightness.
sdm::PredictorColour conditionColour(std::size_t condition, bool derivative);

}  // namespace events
