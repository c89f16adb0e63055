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

// The design picture: the design matrix itself as a self-contained SVG, written beside the
// heatmap. One column per predictor, time running down, each column on a grey scale from its
// own minimum (black) to its own maximum (white), so that a researcher sees what the model
// will fit before trusting it.
namespace heatmap {

// What the design picture knows of the run's time: the repetition time in seconds (NaN: not
// known; the time axis then counts data points) and per predictor the onsets (seconds) of the
// events it models, marked across its column (fewer entries than predictors: none for the rest).
struct DesignTiming {
  double repetitionTime = std::numeric_limits<double>::quiet_NaN();
  std::span<const std::vector<double>> onsets = {};
};

// The design picture of `matrix` as SVG text (ASCII, CRLF line ends, no external reference)
// for the K predictors of `matrix`: `names` are the names to show (K of them, such as
// displayNames gives), `varianceInflation` their factors (K of them; NaN shows as a dash,
// infinite ones as "inf", 10 or more stand out for predictors of interest) and `roles` what each is
// (K of them, as the diagnostics or predictorRoles give them). Names and factors are drawn on top
// of their columns, every few columns when columns get narrow (each column names itself and its
// factor on hover); the band under the columns marks predictors of interest, confounds, constant
// and flat ones; constant and flat columns are hatched as on the heatmap, values that are not
// finite drawn in one colour apart from the greys. Each column's values are quantised to
// designGreyLevels greys and drawn as runs of equal grey, so the file grows with the changes in the
// data rather than with its size. The names of the predictors `unestimable` marks (K entries, or
// none) stand out in a colour of their own, with a key: a contrast cannot be estimated for them.
// Throws std::invalid_argument when `names`, `varianceInflation` or `roles` do not hold K entries,
// or `unestimable` holds some but not K.
std::string designPlotSvg(const sdm::DesignMatrix& matrix, std::span<const std::string> names,
                          std::span<const double> varianceInflation,
                          std::span<const correlation::PredictorRole> roles,
                          const std::vector<bool>& unestimable = {},
                          const DesignTiming& timing = {});

// The same text handed to `put` in pieces as it is made, never held whole.
void writeDesignPlot(const base::TextSink& put, const sdm::DesignMatrix& matrix,
                     std::span<const std::string> names, std::span<const double> varianceInflation,
                     std::span<const correlation::PredictorRole> roles,
                     const std::vector<bool>& unestimable = {}, const DesignTiming& timing = {});

// The number of greys a column is drawn with, from black (its minimum) to white (its maximum).
// 256: every grey the written colour can tell apart, so that runs share a rectangle only when
// their greys are written alike.
inline constexpr int designGreyLevels = 256;

}  // namespace heatmap
