#pragma once

#include <limits>
#include <span>
#include <string>
#include <vector>

#include "base/text_sink.h"

#include "correlation/predictor_role.h"

namespace sdm {
class DesignMatrix;
}

// The correlation heatmap: a self-contained SVG picture of the signed correlations between all
// predictors of a design matrix, written beside its correlation report.
namespace heatmap {

// The heatmap of `matrix` as SVG text (ASCII, CRLF line ends, no external reference, 100 % wide
// with its viewBox, so that it scales to its container): one cell per ordered pair of the
// predictors the report covers, coloured by signed r on a diverging scale (blue -1, white 0, red
// +1) at the report's two-decimal resolution, each with its hover text up to
// maxTitledPredictors; names on both axes, each with its hover text (when cells get small every
// predictor of interest still by its name, the other predictors once per run of one kind); a line
// between predictors of interest and confounds; constant and flat (all values equal, or standard
// deviation below its floor) predictors hatched, their names in grey italics followed by "
// (constant)" (unless the name says so) or " (flat)"; NaN cells dark grey; a colour bar; the file
// name as title. `correlations` holds K x K cells row by row, as correlationMatrix gives them for
// the K predictors of `matrix`. Throws std::invalid_argument when its size is not K x K.
std::string correlationPlotSvg(const sdm::DesignMatrix& matrix,
                               std::span<const float> correlations);

// What the report adds to its heatmap beyond the correlations.
struct HeatmapMarks {
  // Cells of two correlating predictors whose |r| reaches it are outlined (the flagged pairs);
  // NaN: none.
  float flagAt = std::numeric_limits<float>::quiet_NaN();
  // Lines in red across the top, such as why a contrast cannot be estimated; none: no banner.
  std::vector<std::string> banner = {};
};
// The same with `shownNames` (K of them, such as displayNames gives) in place of the file's
// names, and the predictors' `roles` (K of them, as the diagnostics found them; the first form
// finds them with predictorRoles); throws std::invalid_argument when either is not K.
std::string correlationPlotSvg(const sdm::DesignMatrix& matrix, std::span<const float> correlations,
                               std::span<const std::string> shownNames,
                               std::span<const correlation::PredictorRole> roles,
                               const HeatmapMarks& marks = {});

// The same text handed to `put` in pieces as it is made, never held whole (the cells alone take a
// byte or two a cell while they are written).
void writeCorrelationPlot(const base::TextSink& put, const sdm::DesignMatrix& matrix,
                          std::span<const float> correlations,
                          std::span<const std::string> shownNames,
                          std::span<const correlation::PredictorRole> roles,
                          const HeatmapMarks& marks = {});

}  // namespace heatmap
