#pragma once

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "heatmap/colour_scale.h"
#include "heatmap/plot_layout.h"

// The parts of the heatmap and the design picture around their grids that explain them, and
// the pieces of markup both pictures share.
namespace heatmap {

// One stop of a picture's vertical colour gradient: its offset as written, and its colour.
struct GradientStop {
  std::string offset;
  Rgb colour;
};

// Appends the start of a picture `width` x `height`: the XML declaration, the opening svg
// element (as wide as its container, its height by its viewBox's proportions), its `title` (markup,
// already escaped), the defs with the hatching "flat" and the top-to-bottom gradient `gradientId`
// through `stops`, and the opening of the style element with the rules both pictures share (the
// root's font, text colour, title and subtitle). The caller adds its own rules and closes the style
// element.
void appendSvgStart(std::string& svg, int width, int height, const std::string& title,
                    std::string_view gradientId, std::span<const GradientStop> stops);

// Appends the style rules of the predictor names in the monospaced font at `labelFont` pixels,
// and of the names of constant and flat predictors.
void appendNameRules(std::string& svg, int labelFont);

// Appends the white background of a picture `width` x `height`, its `title` and its `subtitle`
// (markup, already escaped).
void appendFrame(std::string& svg, int width, int height, const std::string& title,
                 const std::string& subtitle);

// Appends the thin grey border around a picture's grid of cells.
void appendGridBorder(std::string& svg, int x, int y, int width, int height);

// Appends the hatching of constant and flat predictors over a rectangle of the grid.
void appendHatching(std::string& svg, long long x, long long y, long long width, long long height);

// The colour of cells whose correlation is not a number.
inline constexpr const char* nanCellColour = "#4d4d4d";
// The band's colours of predictors of interest and of confounds.
inline constexpr const char* interestColour = "#3d7dca";
inline constexpr const char* confoundColour = "#d9822b";

// A label that counts: `text` followed by " (count)".
std::string countedLabel(std::string_view text, long long count);

// Appends one segment of the band under a grid: a bar from `x`, `width` wide, in `colour`, and
// under it the first of `labels` that fits under the bar (about 7 pixels a character), if any.
void appendBandSegment(std::string& svg, long long x, long long y, long long width,
                       const char* colour, std::initializer_list<std::string_view> labels);

// Appends the heatmap's band under the grid: predictors of interest (0 ... start - 1) in blue,
// the confound block (start ... count - 1) in orange, each labelled where the label fits under
// it; the block with `confounds`, the number of predictors whose role is confound.
void appendBand(std::string& svg, const PlotLayout& layout, int start, int confounds);

// Appends the heatmap's colour bar with its ticks and the key: hatching, NaN colour, confound
// line.
void appendLegend(std::string& svg, const PlotLayout& layout);

// Appends the colour bar of the gradient `gradientId` at (x, y), `height` tall.
void appendColourBar(std::string& svg, int x, int y, int height, std::string_view gradientId);

// Appends, from `y` down at `x` (labels at `textX`), the key's swatches of the hatching of
// constant and flat predictors and of `nanColour`, labelled `nanText`. Returns the y below them.
int appendFlatAndNanKey(std::string& svg, int x, int textX, int y, const char* nanColour,
                        const char* nanText);

// Appends the key's line between predictors of interest and confounds at `y`.
void appendConfoundLineKey(std::string& svg, int x, int textX, int y);

}  // namespace heatmap
