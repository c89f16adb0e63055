#pragma once

#include <cstddef>
#include <cstdint>

// The display colour of a task predictor in an SDM file.
struct PredictorColour {
  int32_t red;
  int32_t green;
  int32_t blue;
};

// The colour of the condition at 0-based position `condition` of a design: one fixed palette of
// twelve distinct colours, repeated. Its time derivative (`derivative`) has the same colour at
// three fifths of the brightness.
PredictorColour conditionColour(std::size_t condition, bool derivative);
