#pragma once

#include <string>

#include "heatmap/plot_layout.h"

// The parts of the heatmap around its grid that explain it.

// The colour of cells whose correlation is not a number.
inline constexpr const char* nanCellColour = "#4d4d4d";

// Appends the band under the grid: predictors of interest (0 ... start - 1) in blue, confounds
// (start ... count - 1) in orange, each labelled where the label fits under it.
void appendBand(std::string& svg, const PlotLayout& l, int start);

// Appends the colour bar with its ticks and the key: hatching, NaN colour, confound line.
void appendLegend(std::string& svg, const PlotLayout& l);
