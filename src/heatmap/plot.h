#pragma once

#include <span>
#include <string>

#include "correlation/predictor_role.h"

namespace sdm {
class DesignMatrix;
}

// The correlation heatmap: a self-contained SVG picture of the signed correlations between all
// predictors of a design matrix, written beside its correlation report.
namespace heatmap {

// The heatmap of `matrix` as SVG text (ASCII, CRLF line ends, no external reference): one cell
// per ordered pair of the predictors the report covers, coloured by signed r on a diverging
// scale (blue -1, white 0, red +1) at the report's two-decimal resolution; names on both axes
// (thinned out when cells get small); a line between predictors of interest and confounds;
// constant and flat (all values equal, or standard deviation below its floor) predictors
// hatched, their names in grey italics followed by " (constant)" (unless the name says so) or
// " (flat)"; NaN cells dark grey; a colour bar; the file name as title. `correlations` holds
// K x K cells row by row, as correlationMatrix gives them for the K predictors of `matrix`.
// Throws std::invalid_argument when its size is not K x K.
std::string correlationPlotSvg(const sdm::DesignMatrix& matrix,
                               std::span<const float> correlations);
// The same with `shownNames` (K of them, such as displayNames gives) in place of the file's
// names, and the predictors' `roles` (K of them, as the diagnostics found them; the first form
// finds them with predictorRoles); throws std::invalid_argument when either is not K.
std::string correlationPlotSvg(const sdm::DesignMatrix& matrix, std::span<const float> correlations,
                               std::span<const std::string> shownNames,
                               std::span<const correlation::PredictorRole> roles);

}  // namespace heatmap
