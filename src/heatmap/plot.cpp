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
#include "heatmap/plot_cells.h"
#include "heatmap/plot_labels.h"
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
constexpr std::size_t maxBannerCharacters = 110;  // about the width of the smallest picture
constexpr int nanBin = 1000;                      // after every hundredths bin

// One axis entry: the name as XML text, ready to draw.
struct AxisName {
  std::string text;      // shown name, cut after maxNameCharacters, with its suffix
  std::string fullName;  // the whole name (shown on hover)
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
    if (length.cut)
      appendXmlText(name.fullName, shown[i]);
    else
      name.fullName = name.text;
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
                  const std::string& subtitle, int labelFont) {
  appendSvgStart(svg, layout.width, layout.height, title, "scale", scaleStops());
  appendNameRules(svg, labelFont);
  appendLines(svg, {".value{font-family:\"DejaVu Sans "
                    "Mono\",Consolas,monospace;font-size:9px;text-anchor:middle}",
                    ".dark{fill:#ffffff}", ".group{font-style:italic;fill:#5b6675}",
                    ".banner{fill:#b2182b;font-weight:bold}", "</style>"});
  appendFrame(svg, layout.width, layout.height, title, subtitle);
}

// The cell bin of a correlation: its hundredths, or nanBin.
int binOf(float r) { return std::isnan(r) ? nanBin : correlationHundredths(r); }

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

// The predictors as the grid and the axes need them.
std::vector<GridPredictor> gridPredictors(const std::vector<AxisName>& names) {
  std::vector<GridPredictor> grid;
  for (const AxisName& name : names) {
    const bool flat = name.kind == correlation::PredictorRole::flat;
    grid.push_back({regular(name), name.fullName,
                    regular(name) ? ""
                    : flat        ? " (flat)"
                                  : " (constant)"});
  }
  return grid;
}

std::vector<AxisEntry> axisEntries(const sdm::DesignMatrix& matrix,
                                   const std::vector<AxisName>& names) {
  std::vector<AxisEntry> entries;
  for (std::size_t i = 0; i < names.size(); ++i) {
    // What a name stands for in words: its role, and for a confound the family it comes from.
    const correlation::PredictorRole role = names[i].kind;
    const sdm::PredictorKind kind = matrix.predictors[i].kind;
    const std::string_view word =
        role == correlation::PredictorRole::confound
            ? (kind == sdm::PredictorKind::interest ? std::string_view("confound")
                                                    : sdm::kindName(kind))
            : correlation::roleName(role);
    entries.push_back({names[i].text, names[i].fullName, word,
                       role == correlation::PredictorRole::interest, regular(names[i])});
  }
  return entries;
}

// The font of the names and the pitch between them: the layout's, or smaller when the predictors
// of interest, each of which is named, would not fit along the grid.
std::pair<int, int> labelFontAndPitch(const PlotLayout& layout,
                                      const std::vector<AxisName>& names) {
  const auto interest = static_cast<int>(std::count_if(names.begin(), names.end(), [](auto& n) {
    return n.kind == correlation::PredictorRole::interest;
  }));
  const int pitch = layout.labelFont + 1;
  if (layout.labelStep == 1 || interest * pitch <= layout.grid) return {layout.labelFont, pitch};
  const int fitted = std::max(3, layout.grid / std::max(interest, 1));
  return {std::max(3, fitted - 1), fitted};
}

// The lines across the top that say a contrast cannot be estimated.
void appendBanner(std::string& svg, std::span<const std::string> banner) {
  int y = PlotLayout::subtitleBaseline;
  for (const std::string& line : banner) {
    y += PlotLayout::bannerLine;
    std::string text;
    appendXmlText(text, line, maxBannerCharacters);
    svgtext::appendText(svg, PlotLayout::pad, y, text, " class=\"banner\"");
  }
}

}  // namespace

std::string correlationPlotSvg(const sdm::DesignMatrix& matrix,
                               std::span<const float> correlations) {
  return correlationPlotSvg(matrix, correlations, sdm::namesOf(matrix.predictors),
                            correlation::predictorRoles(matrix));
}

std::string correlationPlotSvg(const sdm::DesignMatrix& matrix, std::span<const float> correlations,
                               std::span<const std::string> shownNames,
                               std::span<const correlation::PredictorRole> roles,
                               const HeatmapMarks& marks) {
  std::string svg;
  writeCorrelationPlot([&svg](std::string_view piece) { svg += piece; }, matrix, correlations,
                       shownNames, roles, marks);
  return svg;
}

void writeCorrelationPlot(const base::TextSink& put, const sdm::DesignMatrix& matrix,
                          std::span<const float> correlations,
                          std::span<const std::string> shownNames,
                          std::span<const correlation::PredictorRole> roles,
                          const HeatmapMarks& marks) {
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
  const PlotLayout layout =
      plotLayout(k, longest, titleLength.characters, subtitle.size(), marks.banner.size());
  const int start = static_cast<int>(correlation::confoundStart(matrix, k));
  const auto [font, pitch] = labelFontAndPitch(layout, names);
  const std::vector<GridPredictor> grid = gridPredictors(names);

  base::ChunkedText out(put);
  appendHeader(out.text, layout, title, subtitle, font);
  appendBanner(out.text, marks.banner);
  appendCells(out, layout, grid, correlations);
  if (layout.showValues) appendValues(out.text, layout, names, correlations);
  appendFlaggedOutlines(out, layout, grid, correlations, marks.flagAt);
  appendConfoundLine(out.text, layout, start);
  appendCellTitles(out, layout, grid, correlations);
  appendAxisLabels(out.text, layout, axisLabels(axisEntries(matrix, names), layout, pitch), font);
  appendBand(out.text, layout, start,
             static_cast<int>(
                 std::count(roles.begin(), roles.end(), correlation::PredictorRole::confound)));
  appendLegend(out.text, layout);
  Line(out.text).raw("</svg>").end();
  out.flush();
}

}  // namespace heatmap
