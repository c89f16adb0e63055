#pragma once

#include <string>

#include "heatmap/plot_layout.h"

// The parts of the heatmap and the design picture around their grids that explain them.

// Appends the start of a picture `width` x `height`: the XML declaration, the opening svg element,
// its `title` (markup, already escaped) and the opening of its defs with the hatching "flat". The
// caller adds its own gradients and closes the defs.
void appendSvgStart(std::string& svg, int width, int height, const std::string& title);

// Appends the opening of the style element and the rules both pictures share (the root's font,
// text colour, title and subtitle); the caller adds its own rules and closes the element.
void appendBaseStyle(std::string& svg);

// Appends the thin grey border around a picture's grid of cells.
void appendGridBorder(std::string& svg, int x, int y, int width, int height);

// Appends the white background of a picture `width` x `height`, its `title` (markup, already
// escaped) and the start of its subtitle line: the caller appends the subtitle's text and
// "</text>\r\n".
void appendFrame(std::string& svg, int width, int height, const std::string& title);

// The colour of cells whose correlation is not a number.
inline constexpr const char* nanCellColour = "#4d4d4d";

// Appends the band under the grid: predictors of interest (0 ... start - 1) in blue, the confound
// block (start ... count - 1) in orange, labelled with their numbers, `confounds` for the block
// (its confound predictors, as confoundCount gives them), where the label fits under it.
void appendBand(std::string& svg, const PlotLayout& l, int start, int confounds);

// Appends the colour bar with its ticks and the key: hatching, NaN colour, confound line.
void appendLegend(std::string& svg, const PlotLayout& l);

// Appends, from `y` down at `x` (labels at `textX`), the key's swatches of the hatching of constant
// and flat predictors and of `nanColour`, labelled `nanText`. Returns the y below them.
int appendFlatAndNanKey(std::string& svg, int x, int textX, int y, const char* nanColour,
                        const char* nanText);

// Appends the key's line between predictors of interest and confounds at `y`.
void appendConfoundLineKey(std::string& svg, int x, int textX, int y);
