#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "heatmap/plot_layout.h"

// The names beside the heatmap's rows and above its columns: which are drawn, where, and what
// each says on hover.
namespace heatmap {

// One predictor as the axes name it.
struct AxisEntry {
  std::string text;       // the drawn name (cut when long, with " (flat)" and the like), escaped
  std::string fullName;   // the whole name, escaped
  std::string_view kind;  // what it stands for (sdm::kindName): "motion", "cosine", ...
  bool interest = false;  // a predictor of interest: always named
  bool regular = true;    // it correlates (not constant or flat)
};

// A label on both axes: for predictors first ... last (one, or a group of confounds of one kind),
// centred at `centre` and drawn at `at` (pixels from the grid's edge along the axis).
struct AxisLabel {
  std::size_t first = 0, last = 0;
  long long centre = 0, at = 0;
  std::string text, title;  // escaped
  const char* className = "";
};

// The labels of `entries`: every name when the layout names every predictor; otherwise every
// predictor of interest by its name and the other predictors once per run of one kind ("motion
// (24)", its names on hover), each placed at its centre or pushed along until it clears the one
// before (a group that would leave the grid is left out), with `pitch` between baselines.
std::vector<AxisLabel> axisLabels(std::span<const AxisEntry> entries, const PlotLayout& layout,
                                  int pitch);

// Appends the ticks, the leaders from a tick to a label pushed along, and the labels themselves
// beside the rows and above the columns, in `fontSize` pixels.
void appendAxisLabels(std::string& svg, const PlotLayout& layout, std::span<const AxisLabel> labels,
                      int fontSize);

}  // namespace heatmap
