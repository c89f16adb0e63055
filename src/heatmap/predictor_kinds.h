#pragma once

#include <span>
#include <vector>

class DesignMatrix;

// What the heatmap and the design picture show each predictor as. Both set constant and flat
// predictors apart in the same way and label the confounds under their grids with one count,
// confoundCount.
enum class PredictorKind { interest, confound, constant, flat };

// The kind of each of the first `count` predictors of `matrix`: constant (isConstantPredictor),
// flat (isFlat: all values equal, or a standard deviation below the predictor's floor), else
// interest before confoundStart and confound from there on.
std::vector<PredictorKind> predictorKinds(const DesignMatrix& matrix, int count);

// The number of confound predictors among `kinds`: those from the first confound on that are
// neither the constant nor flat.
int confoundCount(std::span<const PredictorKind> kinds);
