#include "heatmap/plot.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

#include "correlation/correlation_matrix.h"
#include "correlation/covered_predictors.h"
#include "heatmap/colour_scale.h"
#include "heatmap/plot_layout.h"
#include "heatmap/plot_legend.h"
#include "heatmap/predictor_kinds.h"
#include "heatmap/svg_line.h"
#include "heatmap/xml_text.h"
#include "sdm/design_matrix.h"
#include "sdm/output_file.h"
#include "sdm/paths.h"

namespace {

using svgtext::appendInt;
using svgtext::crlf;
using svgtext::Line;

constexpr std::size_t maxNameCharacters = 28;
constexpr int nanBin = 1000;  // after every hundredths bin

// One axis entry: the name as XML text, ready to draw.
struct AxisName {
  std::string text;      // shown name, cut after maxNameCharacters, with its suffix
  std::string fullName;  // the whole name, when `text` was cut (shown on hover)
  std::size_t characters = 0;
  PredictorKind kind = PredictorKind::interest;
};

// Interest and confounds are drawn; constant and flat predictors are hatched.
bool regular(const AxisName& name) {
  return name.kind == PredictorKind::interest || name.kind == PredictorKind::confound;
}

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

std::vector<AxisName> axisNames(std::span<const PredictorKind> kinds,
                                std::span<const std::string> shown) {
  const std::size_t count = shown.size();
  std::vector<AxisName> names(count);
  for (std::size_t i = 0; i < count; ++i) {
    AxisName& name = names[i];
    name.kind = kinds[i];
    const XmlTextLength length = appendXmlText(name.text, shown[i], maxNameCharacters);
    name.characters = length.characters;
    if (length.cut) appendXmlText(name.fullName, shown[i]);
    const std::string_view suffix = name.kind == PredictorKind::flat ? " (flat)"
                                    : name.kind == PredictorKind::constant && !saysConstant(shown[i])
                                        ? " (constant)"
                                        : "";
    name.text += suffix;
    name.characters += suffix.size();
  }
  return names;
}

// "Pearson r between 3 predictors over 120 data points"; a file without predictors has nothing
// to correlate and says so.
std::string subtitleOf(const DesignMatrix& matrix, std::size_t count) {
  if (count == 0) return "No predictors: nothing to correlate";
  std::string text = "Pearson r between ";
  appendInt(text, static_cast<long long>(count));
  text += count == 1 ? " predictor over " : " predictors over ";
  appendInt(text, static_cast<long long>(matrix.values.front().size()));
  text += " data points";
  return text;
}

void appendHeader(std::string& svg, const PlotLayout& l, const std::string& title,
                  const std::string& subtitle) {
  appendSvgStart(svg, l.width, l.height, title);
  svg += "<linearGradient id=\"scale\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">\r\n";
  // Top of the bar is +1: the stops run from the last anchor to the first.
  for (auto stop = std::rbegin(colourStops); stop != std::rend(colourStops); ++stop) {
    svg += "<stop offset=\"";
    appendHundredths(svg, (100 - stop->hundredths) / 2);
    svg += "\" stop-color=\"";
    appendHexColour(svg, stop->colour);
    svg += "\"/>\r\n";
  }
  svg += "</linearGradient>\r\n</defs>\r\n";
  appendBaseStyle(svg);
  svg += ".name{font-family:\"DejaVu Sans Mono\",Consolas,\"Courier New\",monospace;font-size:";
  appendInt(svg, l.labelFont);
  svg +=
      "px}\r\n"
      ".flat{font-style:italic;fill:#6b7280}\r\n"
      ".value{font-family:\"DejaVu Sans "
      "Mono\",Consolas,monospace;font-size:9px;text-anchor:middle}\r\n"
      ".dark{fill:#ffffff}\r\n"
      "</style>\r\n";
  appendFrame(svg, l.width, l.height, title);
  svg += subtitle;
  svg += "</text>\r\n";
}

// The cells: one path per colour, each cell a square and each run of equal neighbours in a row
// one rectangle, so that 300 predictors stay a file of a megabyte or two. Hatching covers the
// rows and columns of constant and flat predictors, whose 0 is no correlation at all.
void appendCells(std::string& svg, const PlotLayout& l, const std::vector<AxisName>& names,
                 std::span<const float> correlations) {
  const std::size_t k = names.size();
  const auto binOf = [&](float r) { return std::isnan(r) ? nanBin : correlationHundredths(r); };
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
      std::string& d = paths[bin];
      const long long w = static_cast<long long>(end - j) * l.cell;
      d += 'M';
      appendInt(d, l.gridX + static_cast<long long>(j) * l.cell);
      d += ' ';
      appendInt(d, l.gridY + static_cast<long long>(i) * l.cell);
      d += 'h';
      appendInt(d, w);
      d += 'v';
      appendInt(d, l.cell);
      d += "h-";
      appendInt(d, w);
      d += 'z';
      j = end;
    }
  }
  svg += "<g shape-rendering=\"crispEdges\">\r\n";
  for (const auto& [bin, d] : paths) {
    svg += "<path fill=\"";
    if (bin == nanBin)
      svg += nanCellColour;
    else
      appendHexColour(svg, divergingColour(bin));
    svg += "\" d=\"";
    svg += d;
    svg += "\"/>\r\n";
  }
  for (std::size_t i = 0; i < k; ++i) {
    if (regular(names[i])) continue;
    const long long at = static_cast<long long>(i) * l.cell;
    Line(svg)
        .raw("<rect")
        .num("x", l.gridX)
        .num("y", l.gridY + at)
        .num("width", l.grid)
        .num("height", l.cell)
        .raw(" fill=\"url(#flat)\"/>")
        .raw(crlf);
    Line(svg)
        .raw("<rect")
        .num("x", l.gridX + at)
        .num("y", l.gridY)
        .num("width", l.cell)
        .num("height", l.grid)
        .raw(" fill=\"url(#flat)\"/>")
        .raw(crlf);
  }
  svg += "</g>\r\n";
  if (k > 0) {
    appendGridBorder(svg, l.gridX, l.gridY, l.grid, l.grid);
  }
}

void appendValues(std::string& svg, const PlotLayout& l, const std::vector<AxisName>& names,
                  std::span<const float> correlations) {
  const std::size_t k = names.size();
  svg += "<g class=\"value\">\r\n";
  for (std::size_t i = 0; i < k; ++i) {
    if (!regular(names[i])) continue;
    for (std::size_t j = 0; j < k; ++j) {
      if (!regular(names[j])) continue;
      const float r = correlations[i * k + j];
      const int h = std::isnan(r) ? nanBin : correlationHundredths(r);
      Line line(svg);
      line.raw("<text");
      if (h == nanBin || h >= 60 || h <= -60) line.raw(" class=\"dark\"");
      line.num("x", l.gridX + static_cast<long long>(j) * l.cell + l.cell / 2)
          .num("y", l.gridY + static_cast<long long>(i) * l.cell + l.cell / 2 + 3)
          .raw(">");
      if (h == nanBin)
        svg += "nan";
      else
        appendHundredths(svg, h);
      svg += "</text>\r\n";
    }
  }
  svg += "</g>\r\n";
}

void appendConfoundLine(std::string& svg, const PlotLayout& l, int start) {
  if (start <= 0 || start >= l.count) return;
  const long long at = static_cast<long long>(start) * l.cell;
  svg += "<g stroke=\"#000000\" stroke-width=\"2\">\r\n";
  Line(svg)
      .raw("<line")
      .num("x1", l.gridX + at)
      .num("y1", l.gridY - 4)
      .num("x2", l.gridX + at)
      .num("y2", l.gridY + l.grid + 4)
      .raw("/>")
      .raw(crlf);
  Line(svg)
      .raw("<line")
      .num("x1", l.gridX - 4)
      .num("y1", l.gridY + at)
      .num("x2", l.gridX + l.grid + 4)
      .num("y2", l.gridY + at)
      .raw("/>")
      .raw(crlf);
  svg += "</g>\r\n";
}

void appendName(std::string& svg, const AxisName& name) {
  svg += name.text;
  if (!name.fullName.empty()) {
    svg += "<title>";
    svg += name.fullName;
    svg += "</title>";
  }
  svg += "</text>\r\n";
}

void appendAxes(std::string& svg, const PlotLayout& l, const std::vector<AxisName>& names) {
  const int baselineShift = l.labelFont * 35 / 100;
  const int rowX = l.gridX - PlotLayout::tick - PlotLayout::labelGap;
  const int columnY = l.gridY - PlotLayout::tick - PlotLayout::labelGap;
  std::string ticks;
  std::string rows;
  std::string columns;
  for (std::size_t i = 0; i < names.size(); i += static_cast<std::size_t>(l.labelStep)) {
    const long long middle = static_cast<long long>(i) * l.cell + l.cell / 2;
    ticks += "<path d=\"M";
    appendInt(ticks, l.gridX - PlotLayout::tick);
    ticks += ' ';
    appendInt(ticks, l.gridY + middle);
    ticks += 'h';
    appendInt(ticks, PlotLayout::tick);
    ticks += 'M';
    appendInt(ticks, l.gridX + middle);
    ticks += ' ';
    appendInt(ticks, l.gridY - PlotLayout::tick);
    ticks += 'v';
    appendInt(ticks, PlotLayout::tick);
    ticks += "\"/>\r\n";

    const char* kindClass = regular(names[i]) ? "" : " class=\"flat\"";
    Line(rows)
        .raw("<text")
        .raw(kindClass)
        .num("x", rowX)
        .num("y", l.gridY + middle + baselineShift)
        .raw(">");
    appendName(rows, names[i]);
    const long long x = l.gridX + middle + baselineShift;
    Line(columns)
        .raw("<text")
        .raw(kindClass)
        .num("x", x)
        .num("y", columnY)
        .raw(" transform=\"rotate(-90 ");
    appendInt(columns, x);
    columns += ' ';
    appendInt(columns, columnY);
    columns += ")\">";
    appendName(columns, names[i]);
  }
  svg += "<g stroke=\"#5b6675\" stroke-width=\"1\">\r\n" + ticks + "</g>\r\n";
  svg += "<g class=\"name\" text-anchor=\"end\">\r\n" + rows + "</g>\r\n";
  svg += "<g class=\"name\">\r\n" + columns + "</g>\r\n";
}

}  // namespace

std::string correlationPlotPath(const std::string& fileName, const std::string& folder) {
  return reportPath(fileName, ".svg", folder);
}

std::string correlationPlotSvg(const DesignMatrix& matrix, std::span<const float> correlations) {
  return correlationPlotSvg(matrix, correlations,
                            std::span(matrix.names).first(coveredPredictorCount(matrix)));
}

std::string correlationPlotSvg(const DesignMatrix& matrix, std::span<const float> correlations,
                               std::span<const std::string> shownNames) {
  const std::size_t k = coveredPredictorCount(matrix);
  if (correlations.size() != k * k)
    throw std::invalid_argument("correlations do not fit the design matrix");
  if (shownNames.size() != k) throw std::invalid_argument("names do not fit the design matrix");
  const std::vector<PredictorKind> kinds = predictorKinds(matrix, static_cast<int>(k));
  const std::vector<AxisName> names = axisNames(kinds, shownNames);
  std::size_t longest = 0;
  for (const AxisName& name : names) longest = std::max(longest, name.characters);

  std::string title;
  const XmlTextLength titleLength = appendXmlText(title, baseName(matrix.fileName));
  const std::string subtitle = subtitleOf(matrix, k);
  const PlotLayout layout = plotLayout(k, longest, titleLength.characters, subtitle.size());
  const int start = confoundStart(matrix, layout.count);

  std::string svg;
  appendHeader(svg, layout, title, subtitle);
  appendCells(svg, layout, names, correlations);
  if (layout.showValues) appendValues(svg, layout, names, correlations);
  appendConfoundLine(svg, layout, start);
  appendAxes(svg, layout, names);
  appendBand(svg, layout, start, confoundCount(kinds));
  appendLegend(svg, layout);
  svg += "</svg>\r\n";
  return svg;
}

void writeCorrelationPlot(const DesignMatrix& matrix, std::span<const float> correlations,
                          const std::string& folder) {
  writeCorrelationPlot(matrix, correlations,
                       std::span(matrix.names).first(coveredPredictorCount(matrix)), folder);
}

void writeCorrelationPlot(const DesignMatrix& matrix, std::span<const float> correlations,
                          std::span<const std::string> shownNames, const std::string& folder) {
  const std::string path = correlationPlotPath(matrix.fileName, folder);
  refuseToReplaceTheSdm(path, matrix.fileName);
  OutputFile file(path);
  file.write(correlationPlotSvg(matrix, correlations, shownNames));
  file.commit();
}
