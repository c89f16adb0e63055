#include "heatmap/plot.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

#include "base/paths.h"
#include "correlation/correlation_matrix.h"
#include "correlation/predictor_role.h"
#include "heatmap/colour_scale.h"
#include "heatmap/plot_layout.h"
#include "heatmap/plot_legend.h"
#include "heatmap/svg_line.h"
#include "heatmap/xml_text.h"
#include "sdm/design_matrix.h"

namespace heatmap {

namespace {

using svgtext::appendGroup;
using svgtext::appendLines;
using svgtext::Line;

constexpr std::size_t maxNameCharacters = 28;
constexpr int nanBin = 1000;  // after every hundredths bin

// One axis entry: the name as XML text, ready to draw.
struct AxisName {
  std::string text;      // shown name, cut after maxNameCharacters, with its suffix
  std::string fullName;  // the whole name, when `text` was cut (shown on hover)
  std::size_t characters = 0;
  correlation::PredictorRole kind = correlation::PredictorRole::interest;
};

// Predictors of interest and confounds are drawn; constant and flat ones are hatched.
bool regular(const AxisName& name) { return correlation::correlates(name.kind); }

// "Constant (constant)" would say it twice.
bool saysConstant(std::string_view name) {
  constexpr std::string_view word = "constant";
  for (std::size_t i = 0; i + word.size() <= name.size(); ++i) {
    std::size_t k = 0;
    while (k < word.size() && (name[i + k] | 0x20) == word[k]) ++k;
    if (k == word.size()) return true;
  }
  return false;
}

// The axis entries of the predictors of `kinds` shown as `shown`: kind, drawn text and hover
// text.
std::vector<AxisName> axisNames(std::span<const correlation::PredictorRole> kinds,
                                std::span<const std::string> shown) {
  const std::size_t count = shown.size();
  std::vector<AxisName> names(count);
  for (std::size_t i = 0; i < count; ++i) {
    AxisName& name = names[i];
    name.kind = kinds[i];
    const XmlTextLength length = appendXmlText(name.text, shown[i], maxNameCharacters);
    name.characters = length.characters;
    if (length.cut) appendXmlText(name.fullName, shown[i]);
    const std::string_view suffix =
        name.kind == correlation::PredictorRole::flat ? " (flat)"
        : name.kind == correlation::PredictorRole::constant && !saysConstant(shown[i])
            ? " (constant)"
            : "";
    name.text += suffix;
    name.characters += suffix.size();
  }
  return names;
}

// "Pearson r between 3 predictors over 120 data points"; a file without predictors has nothing
// to correlate and says so.
std::string subtitleOf(const sdm::DesignMatrix& matrix, std::size_t count) {
  if (count == 0) return "No predictors: nothing to correlate";
  std::string text;
  Line(text)
      .raw("Pearson r between ")
      .num(static_cast<long long>(count))
      .raw(count == 1 ? " predictor over " : " predictors over ")
      .num(static_cast<long long>(matrix.predictors.front().values.size()))
      .raw(" data points");
  return text;
}

// The colour bar's gradient: the top of the bar is +1, so the stops run from the last anchor to
// the first.
std::vector<GradientStop> scaleStops() {
  std::vector<GradientStop> stops;
  for (auto stop = std::rbegin(colourStops); stop != std::rend(colourStops); ++stop) {
    std::string offset;
    appendHundredths(offset, (100 - stop->hundredths) / 2);
    stops.push_back({std::move(offset), stop->colour});
  }
  return stops;
}

// Appends everything before the cells: the svg element, the defs, the style and the titles.
void appendHeader(std::string& svg, const PlotLayout& layout, const std::string& title,
                  const std::string& subtitle) {
  appendSvgStart(svg, layout.width, layout.height, title, "scale", scaleStops());
  appendNameRules(svg, layout.labelFont);
  appendLines(svg, {".value{font-family:\"DejaVu Sans "
                    "Mono\",Consolas,monospace;font-size:9px;text-anchor:middle}",
                    ".dark{fill:#ffffff}", "</style>"});
  appendFrame(svg, layout.width, layout.height, title, subtitle);
}

// The cell bin of a correlation: its hundredths, or nanBin.
int binOf(float r) { return std::isnan(r) ? nanBin : correlationHundredths(r); }

// The path data of the cells of regular predictors, by bin: each cell a square and each run of
// equal neighbours in a row one rectangle.
std::map<int, std::string> cellPaths(const PlotLayout& layout, const std::vector<AxisName>& names,
                                     std::span<const float> correlations) {
  const std::size_t k = names.size();
  std::map<int, std::string> paths;
  for (std::size_t i = 0; i < k; ++i) {
    if (!regular(names[i])) continue;
    std::size_t j = 0;
    while (j < k) {
      if (!regular(names[j])) {
        ++j;
        continue;
      }
      const int bin = binOf(correlations[i * k + j]);
      std::size_t end = j + 1;
      while (end < k && regular(names[end]) && binOf(correlations[i * k + end]) == bin) ++end;
      const long long w = static_cast<long long>(end - j) * layout.cell;
      Line(paths[bin])
          .raw('M')
          .num(layout.gridX + static_cast<long long>(j) * layout.cell)
          .raw(' ')
          .num(layout.gridY + static_cast<long long>(i) * layout.cell)
          .raw('h')
          .num(w)
          .raw('v')
          .num(layout.cell)
          .raw("h-")
          .num(w)
          .raw('z');
      j = end;
    }
  }
  return paths;
}

// The cells: one path per colour, so that 300 predictors stay a file of a megabyte or two.
// Hatching covers the rows and columns of constant and flat predictors, whose 0 is no
// correlation at all.
void appendCells(std::string& svg, const PlotLayout& layout, const std::vector<AxisName>& names,
                 std::span<const float> correlations) {
  const std::map<int, std::string> paths = cellPaths(layout, names, correlations);
  Line(svg).raw("<g shape-rendering=\"crispEdges\">").end();
  for (const auto& [bin, d] : paths) {
    std::string colour;
    if (bin == nanBin)
      colour = nanCellColour;
    else
      appendHexColour(colour, divergingColour(bin));
    Line(svg).raw("<path").str("fill", colour).str("d", d).raw("/>").end();
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (regular(names[i])) continue;
    const long long at = static_cast<long long>(i) * layout.cell;
    appendHatching(svg, layout.gridX, layout.gridY + at, layout.grid, layout.cell);
    appendHatching(svg, layout.gridX + at, layout.gridY, layout.cell, layout.grid);
  }
  Line(svg).raw("</g>").end();
  if (!names.empty()) {
    appendGridBorder(svg, layout.gridX, layout.gridY, layout.grid, layout.grid);
  }
}

// The correlation printed in each cell of two regular predictors, light on dark cells.
void appendValues(std::string& svg, const PlotLayout& layout, const std::vector<AxisName>& names,
                  std::span<const float> correlations) {
  const std::size_t k = names.size();
  Line(svg).raw("<g class=\"value\">").end();
  for (std::size_t i = 0; i < k; ++i) {
    if (!regular(names[i])) continue;
    for (std::size_t j = 0; j < k; ++j) {
      if (!regular(names[j])) continue;
      const int h = binOf(correlations[i * k + j]);
      Line line(svg);
      line.raw("<text")
          .raw(h == nanBin || h >= 60 || h <= -60 ? " class=\"dark\"" : "")
          .num("x", layout.gridX + static_cast<long long>(j) * layout.cell + layout.cell / 2)
          .num("y", layout.gridY + static_cast<long long>(i) * layout.cell + layout.cell / 2 + 3)
          .raw('>');
      if (h == nanBin)
        line.raw("nan");
      else
        line.put(appendHundredths, h);
      line.raw("</text>").end();
    }
  }
  Line(svg).raw("</g>").end();
}

// The lines across the grid between predictors of interest and confounds, when there are both.
void appendConfoundLine(std::string& svg, const PlotLayout& layout, int start) {
  if (start <= 0 || start >= layout.count) return;
  const long long at = static_cast<long long>(start) * layout.cell;
  Line(svg).raw("<g stroke=\"#000000\" stroke-width=\"2\">").end();
  Line(svg)
      .raw("<line")
      .num("x1", layout.gridX + at)
      .num("y1", layout.gridY - 4)
      .num("x2", layout.gridX + at)
      .num("y2", layout.gridY + layout.grid + 4)
      .raw("/>")
      .end();
  Line(svg)
      .raw("<line")
      .num("x1", layout.gridX - 4)
      .num("y1", layout.gridY + at)
      .num("x2", layout.gridX + layout.grid + 4)
      .num("y2", layout.gridY + at)
      .raw("/>")
      .end();
  Line(svg).raw("</g>").end();
}

// Ends a name's text element: the shown name, the whole one on hover when it was cut.
void endName(std::string& out, const AxisName& name) {
  Line line(out);
  line.raw(name.text);
  if (!name.fullName.empty()) line.raw("<title>").raw(name.fullName).raw("</title>");
  line.raw("</text>").end();
}

// The names beside the rows and above the columns, each with its tick.
void appendAxes(std::string& svg, const PlotLayout& layout, const std::vector<AxisName>& names) {
  const int baselineShift = layout.labelFont * 35 / 100;
  const int rowX = layout.gridX - PlotLayout::tick - PlotLayout::labelGap;
  const int columnY = layout.gridY - PlotLayout::tick - PlotLayout::labelGap;
  std::string ticks;
  std::string rows;
  std::string columns;
  for (std::size_t i = 0; i < names.size(); i += static_cast<std::size_t>(layout.labelStep)) {
    const long long middle = static_cast<long long>(i) * layout.cell + layout.cell / 2;
    Line(ticks)
        .raw("<path d=\"M")
        .num(layout.gridX - PlotLayout::tick)
        .raw(' ')
        .num(layout.gridY + middle)
        .raw('h')
        .num(PlotLayout::tick)
        .raw('M')
        .num(layout.gridX + middle)
        .raw(' ')
        .num(layout.gridY - PlotLayout::tick)
        .raw('v')
        .num(PlotLayout::tick)
        .raw("\"/>")
        .end();
    const char* kindClass = regular(names[i]) ? "" : " class=\"flat\"";
    Line(rows)
        .raw("<text")
        .raw(kindClass)
        .num("x", rowX)
        .num("y", layout.gridY + middle + baselineShift)
        .raw('>');
    endName(rows, names[i]);
    Line(columns)
        .raw("<text")
        .raw(kindClass)
        .rotated(layout.gridX + middle + baselineShift, columnY)
        .raw('>');
    endName(columns, names[i]);
  }
  appendGroup(svg, "<g stroke=\"#5b6675\" stroke-width=\"1\">", ticks);
  appendGroup(svg, "<g class=\"name\" text-anchor=\"end\">", rows);
  appendGroup(svg, "<g class=\"name\">", columns);
}

}  // namespace

std::string correlationPlotSvg(const sdm::DesignMatrix& matrix,
                               std::span<const float> correlations) {
  return correlationPlotSvg(matrix, correlations, sdm::namesOf(matrix.predictors),
                            correlation::predictorRoles(matrix));
}

std::string correlationPlotSvg(const sdm::DesignMatrix& matrix, std::span<const float> correlations,
                               std::span<const std::string> shownNames,
                               std::span<const correlation::PredictorRole> roles) {
  const std::size_t k = matrix.predictors.size();
  if (correlations.size() != k * k)
    throw std::invalid_argument("correlations do not fit the design matrix");
  if (shownNames.size() != k || roles.size() != k)
    throw std::invalid_argument("names or roles do not fit the design matrix");
  const std::vector<AxisName> names = axisNames(roles, shownNames);
  std::size_t longest = 0;
  for (const AxisName& name : names) longest = std::max(longest, name.characters);

  std::string title;
  const XmlTextLength titleLength = appendXmlText(title, base::baseName(matrix.fileName));
  const std::string subtitle = subtitleOf(matrix, k);
  const PlotLayout layout = plotLayout(k, longest, titleLength.characters, subtitle.size());
  const int start = static_cast<int>(correlation::confoundStart(matrix, k));

  std::string svg;
  appendHeader(svg, layout, title, subtitle);
  appendCells(svg, layout, names, correlations);
  if (layout.showValues) appendValues(svg, layout, names, correlations);
  appendConfoundLine(svg, layout, start);
  appendAxes(svg, layout, names);
  appendBand(svg, layout, start,
             static_cast<int>(
                 std::count(roles.begin(), roles.end(), correlation::PredictorRole::confound)));
  appendLegend(svg, layout);
  Line(svg).raw("</svg>").end();
  return svg;
}

}  // namespace heatmap
