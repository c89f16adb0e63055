#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

#include "correlation/correlation.h"

namespace sdm {
class DesignMatrix;
}

namespace correlation {

// What each predictor a report covers is: of interest or a confound (both take part in the
// correlations and the diagnostics), or set apart as the constant or as flat (all values equal,
// or a standard deviation below its floor). The diagnostics, the flagged pairs, the heatmap and
// the design picture all go by one list of these.
enum class PredictorRole { interest, confound, constant, flat };

// "interest", "confound", "constant" or "flat", as the summary names a role.
std::string_view roleName(PredictorRole role);

// True for the predictors of interest and the confounds.
inline bool correlates(PredictorRole role) {
  return role == PredictorRole::interest || role == PredictorRole::confound;
}

// Where the confounds start among the first `count` predictors: the header's first confound
// brought into 0 .. count (0 when all are confounds, `count` when none is).
std::size_t confoundStart(const sdm::DesignMatrix& matrix, std::size_t count);

// The role of predictor `index`, whose statistics are `stats`, when confounds start at
// `firstConfound`.
PredictorRole roleOf(std::span<const float> values, const PredictorStats& stats, std::size_t index,
                     std::size_t firstConfound);

// The roles of the predictors of `matrix`, each predictor's statistics computed here.
std::vector<PredictorRole> predictorRoles(const sdm::DesignMatrix& matrix);

}  // namespace correlation
