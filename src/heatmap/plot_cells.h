#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "base/text_sink.h"
#include "heatmap/plot_layout.h"

// The grid of the heatmap: its coloured cells, their hover texts and the outlines of flagged
// cells, written piece by piece so that the picture is never held whole.
namespace heatmap {

// Up to this many predictors every cell of the heatmap carries its hover text (both names and
// r); above it the file would grow by a hundred bytes a cell, and only the names carry theirs.
inline constexpr std::size_t maxTitledPredictors = 512;

// What the grid needs of each predictor: whether it correlates (interest or confound, not
// constant or flat) and its whole name as XML text, for hover texts.
struct GridPredictor {
  bool regular = true;
  std::string name;      // escaped
  const char* why = "";  // for one that does not correlate: " (constant)" or " (flat)"
};

// Appends the cells of `predictors` (K of them) to `out`, K x K `correlations` row by row: one
// path per colour (runs of equal neighbours in a row one rectangle), the hatching of the rows and
// columns of constant and flat predictors, the grid's border. Spills `out` as it goes.
void appendCells(base::ChunkedText& out, const PlotLayout& layout,
                 std::span<const GridPredictor> predictors, std::span<const float> correlations);

// Appends an invisible rectangle over every cell holding its hover text, "A ~ B: r = 0.53"
// (r as the cell shows it, "nan" when it is not a number, "A ~ B: no correlation (flat)" for a
// cell of a constant or flat predictor), for up to maxTitledPredictors predictors; nothing above.
void appendCellTitles(base::ChunkedText& out, const PlotLayout& layout,
                      std::span<const GridPredictor> predictors,
                      std::span<const float> correlations);

// Appends the outline of every cell off the diagonal whose two predictors correlate and whose r
// reaches `threshold` in magnitude (as the flagged pairs count it); nothing for a NaN threshold.
void appendFlaggedOutlines(base::ChunkedText& out, const PlotLayout& layout,
                           std::span<const GridPredictor> predictors,
                           std::span<const float> correlations, float threshold);

}  // namespace heatmap
