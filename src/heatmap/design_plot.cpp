#include "heatmap/design_plot.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "correlation/covered_predictors.h"
#include "heatmap/colour_scale.h"
#include "heatmap/plot.h"
#include "heatmap/plot_layout.h"
#include "heatmap/plot_legend.h"
#include "heatmap/predictor_kinds.h"
#include "heatmap/svg_line.h"
#include "heatmap/xml_text.h"
#include "sdm/design_matrix.h"
#include "sdm/number_text.h"
#include "sdm/output_file.h"
#include "sdm/paths.h"

namespace {

using svgtext::appendInt;
using svgtext::crlf;
using svgtext::Line;

constexpr std::size_t maxNameCharacters = 28;
constexpr int targetWidth = 900;  // columns shrink to keep the matrix near this width
constexpr int minColumn = 2;
constexpr int maxColumn = 40;
constexpr int minLabelPitch = 11;  // drawn names at least this far apart
constexpr int targetHeight = 640;  // the matrix is this tall once rows would pass maxRow
constexpr int maxRow = 12;
constexpr int axisFont = 11;
constexpr int minTickPitch = 14;  // time ticks at least this far apart
constexpr int barHeight = 160;
constexpr int legendTextWidth = 230;
constexpr int legendItems = 4;
constexpr double highFactor = 10.0;  // factors from here on stand out
constexpr int nanKey = designGreyLevels;

constexpr const char* interestColour = "#3d7dca";
constexpr const char* confoundColour = "#d9822b";
constexpr const char* constantColour = "#9aa1ab";
constexpr const char* nanColour = "#c51b7d";  // no grey, so it cannot pass for a value

struct Column {
  PredictorKind kind = PredictorKind::interest;
  std::string text;      // shown name, cut after maxNameCharacters
  std::string fullName;  // the whole name, for the hover text
  std::size_t characters = 0;
  std::string factor;  // "12.3", "inf", or a dash when there is none
  std::size_t factorCharacters = 0;
  bool high = false;
};

struct Layout {
  int count = 0;
  long long points = 0;
  int column = 0;  // column width
  int labelStep = 1;
  int labelFont = 12;
  int gridX = 0;
  int gridY = 0;
  int gridWidth = 0;
  int gridHeight = 0;
  int factorSpace = 0;  // the band of factors between the names and the matrix
  int barX = 0;
  int width = 0;
  int height = 0;
};

int digitCount(long long value) {
  int digits = 1;
  while (value >= 10) {
    value /= 10;
    ++digits;
  }
  return digits;
}

Layout designLayout(std::size_t count, long long points, std::size_t nameCharacters,
                    std::size_t factorCharacters, std::size_t titleCharacters) {
  Layout l;
  l.count = static_cast<int>(count);
  l.points = points;
  l.column = std::clamp(targetWidth / std::max(l.count, 1), minColumn, maxColumn);
  l.labelStep = (minLabelPitch + l.column - 1) / l.column;
  l.labelFont = std::min(12, l.column * l.labelStep - 2);
  l.gridWidth = l.count * l.column;
  l.gridHeight = static_cast<int>(std::min<long long>(points * maxRow, targetHeight));

  const int nameSpace = std::max(monospaceWidth(nameCharacters, l.labelFont), 8) +
                        PlotLayout::tick + PlotLayout::labelGap;
  l.factorSpace = monospaceWidth(std::max<std::size_t>(factorCharacters, 3), l.labelFont) +
                  3 * PlotLayout::labelGap;
  const int axisSpace = monospaceWidth(static_cast<std::size_t>(digitCount(points)), axisFont) +
                        PlotLayout::tick + PlotLayout::labelGap;
  // Room for the rotated axis title and for "VIF" beside the factors.
  l.gridX = PlotLayout::pad + std::max(18 + axisSpace, 30);
  l.gridY = PlotLayout::subtitleBaseline + 14 + nameSpace + l.factorSpace;
  l.barX = l.gridX + l.gridWidth + 28;

  const int titleWidth = PlotLayout::pad * 2 + static_cast<int>(titleCharacters) * 11;
  l.width =
      std::max(l.barX + PlotLayout::barWidth + 8 + legendTextWidth + PlotLayout::pad, titleWidth);
  const int legendBottom = l.gridY + barHeight + 18 + legendItems * PlotLayout::legendItem;
  l.height =
      std::max(l.gridY + l.gridHeight + PlotLayout::bandHeight, legendBottom) + PlotLayout::pad;
  return l;
}

std::vector<Column> columnsOf(std::span<const PredictorKind> kinds,
                              std::span<const std::string> names, std::span<const double> factors) {
  const std::size_t k = names.size();
  std::vector<Column> columns(k);
  for (std::size_t i = 0; i < k; ++i) {
    Column& c = columns[i];
    c.kind = kinds[i];
    const XmlTextLength shown = appendXmlText(c.text, names[i], maxNameCharacters);
    c.characters = shown.characters;
    appendXmlText(c.fullName, names[i]);
    if (std::isnan(factors[i])) {
      c.factor = "&#x2013;";
      c.factorCharacters = 1;
    } else {
      appendFixed(c.factor, factors[i], 1);
      c.factorCharacters = c.factor.size();
      c.high = factors[i] >= highFactor;
    }
  }
  return columns;
}

bool drawn(const Column& c) {
  return c.kind == PredictorKind::interest || c.kind == PredictorKind::confound;
}

void appendHeader(std::string& svg, const Layout& l, const std::string& title) {
  appendSvgStart(svg, l.width, l.height, title);
  svg +=
      "<linearGradient id=\"grey\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">\r\n"
      "<stop offset=\"0\" stop-color=\"#ffffff\"/>\r\n"
      "<stop offset=\"1\" stop-color=\"#000000\"/>\r\n"
      "</linearGradient>\r\n</defs>\r\n";
  appendBaseStyle(svg);
  svg +=
      ".axis{fill:#5b6675;font-size:11px}\r\n"
      ".name{font-family:\"DejaVu Sans Mono\",Consolas,\"Courier New\",monospace;font-size:";
  appendInt(svg, l.labelFont);
  svg +=
      "px}\r\n"
      ".flat{font-style:italic;fill:#6b7280}\r\n"
      ".high{fill:#b2182b;font-weight:bold}\r\n"
      "</style>\r\n";
  appendFrame(svg, l.width, l.height, title);
  svg += "Design matrix: ";
  appendInt(svg, l.count);
  svg += l.count == 1 ? " predictor over " : " predictors over ";
  appendInt(svg, l.points);
  svg += l.points == 1 ? " data point</text>\r\n" : " data points</text>\r\n";
}

// The grey (0 ... designGreyLevels - 1) of every value of one column, or nanKey for a value
// that is not finite. The column's finite minimum is black and its maximum white; a column
// without a spread between them is mid grey.
std::vector<int> levelsOf(std::span<const float> values) {
  double low = std::numeric_limits<double>::infinity();
  double high = -low;
  for (const float v : values) {
    if (!std::isfinite(v)) continue;
    low = std::min(low, static_cast<double>(v));
    high = std::max(high, static_cast<double>(v));
  }
  const double range = high - low;
  std::vector<int> levels(values.size());
  for (std::size_t t = 0; t < values.size(); ++t) {
    const float v = values[t];
    if (!std::isfinite(v))
      levels[t] = nanKey;
    else if (!(range > 0.0))
      levels[t] = designGreyLevels / 2;
    else
      levels[t] = static_cast<int>(
          std::lround((static_cast<double>(v) - low) / range * (designGreyLevels - 1)));
  }
  return levels;
}

// The values: a nested picture whose own coordinates are one unit per column and per data
// point, stretched over the matrix. One path per grey, each run of equal grey in a column one
// rectangle, so 300 predictors over 2,000 points stay a file of a megabyte or less.
void appendValues(std::string& svg, const Layout& l, const DesignMatrix& matrix,
                  const std::vector<Column>& columns) {
  if (l.count > 0 && l.points > 0) {
    std::array<std::string, designGreyLevels + 1> paths;
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (!drawn(columns[i])) continue;
      const std::vector<int> levels = levelsOf(matrix.values[i]);
      // Where each grey's path stands in this column: the end of its last run, or none yet.
      std::array<std::size_t, designGreyLevels + 1> at;
      at.fill(std::string::npos);
      std::size_t t = 0;
      while (t < levels.size()) {
        std::size_t end = t + 1;
        while (end < levels.size() && levels[end] == levels[t]) ++end;
        const auto key = static_cast<std::size_t>(levels[t]);
        std::string& d = paths[key];
        // A run is a vertical stroke one column wide down the column's middle, from t to end.
        if (at[key] == std::string::npos) {
          d += 'M';
          appendInt(d, static_cast<long long>(i));
          d += ".5 ";
          appendInt(d, static_cast<long long>(t));
        } else {
          d += "m0 ";
          appendInt(d, static_cast<long long>(t - at[key]));
        }
        d += 'v';
        appendInt(d, static_cast<long long>(end - t));
        at[key] = end;
        t = end;
      }
    }
    Line(svg)
        .raw("<svg")
        .num("x", l.gridX)
        .num("y", l.gridY)
        .num("width", l.gridWidth)
        .num("height", l.gridHeight)
        .raw(" viewBox=\"0 0 ");
    appendInt(svg, l.count);
    svg += ' ';
    appendInt(svg, l.points);
    svg +=
        "\" preserveAspectRatio=\"none\" shape-rendering=\"crispEdges\" fill=\"none\" "
        "stroke-width=\"1\">\r\n";
    for (std::size_t key = 0; key < paths.size(); ++key) {
      if (paths[key].empty()) continue;
      svg += "<path stroke=\"";
      if (key == nanKey) {
        svg += nanColour;
      } else {
        const auto grey = static_cast<uint8_t>(
            (255 * static_cast<int>(key) + (designGreyLevels - 1) / 2) / (designGreyLevels - 1));
        appendHexColour(svg, {grey, grey, grey});
      }
      svg += "\" d=\"";
      svg += paths[key];
      svg += "\"/>\r\n";
    }
    svg += "</svg>\r\n";
  }
  svg += "<g shape-rendering=\"crispEdges\">\r\n";
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (drawn(columns[i])) continue;
    Line(svg)
        .raw("<rect")
        .num("x", l.gridX + static_cast<long long>(i) * l.column)
        .num("y", l.gridY)
        .num("width", l.column)
        .num("height", l.gridHeight)
        .raw(" fill=\"url(#flat)\"/>")
        .raw(crlf);
  }
  svg += "</g>\r\n";
  if (l.count > 0 && l.points > 0) {
    appendGridBorder(svg, l.gridX, l.gridY, l.gridWidth, l.gridHeight);
  }
}

void appendConfoundLine(std::string& svg, const Layout& l, int start) {
  if (start <= 0 || start >= l.count) return;
  const long long x = l.gridX + static_cast<long long>(start) * l.column;
  Line(svg)
      .raw("<line")
      .num("x1", x)
      .num("y1", l.gridY - 4)
      .num("x2", x)
      .num("y2", l.gridY + l.gridHeight + 4)
      .raw(" stroke=\"#000000\" stroke-width=\"2\"/>")
      .raw(crlf);
}

// Data points counted from 1 down the left edge: the first and every multiple of a round step.
void appendTimeAxis(std::string& svg, const Layout& l) {
  if (l.points <= 0) return;
  long long step = 1;
  for (long long scale = 1; l.points / step > 8; scale *= 10) {
    for (const long long m : {1LL, 2LL, 5LL}) {
      step = m * scale;
      if (l.points / step <= 8) break;
    }
  }
  const auto yOf = [&](long long t) {
    return l.gridY + ((2 * t - 1) * l.gridHeight) / (2 * l.points);
  };
  std::string ticks;
  std::string labels;
  long long last = std::numeric_limits<long long>::min() / 2;
  for (long long t = 1; t <= l.points; t = t == 1 && step > 1 ? step : t + step) {
    const long long y = yOf(t);
    if (y - last < minTickPitch) continue;
    last = y;
    ticks += "M";
    appendInt(ticks, l.gridX - PlotLayout::tick);
    ticks += ' ';
    appendInt(ticks, y);
    ticks += 'h';
    appendInt(ticks, PlotLayout::tick);
    Line(labels)
        .raw("<text")
        .num("x", l.gridX - PlotLayout::tick - PlotLayout::labelGap)
        .num("y", y + 4)
        .raw(">");
    appendInt(labels, t);
    labels += "</text>\r\n";
  }
  svg += "<path stroke=\"#5b6675\" stroke-width=\"1\" d=\"" + ticks + "\"/>\r\n";
  svg += "<g class=\"axis\" text-anchor=\"end\">\r\n" + labels + "</g>\r\n";
  if (l.gridHeight >= 80) {
    const long long x = PlotLayout::pad + 10;
    const long long y = l.gridY + l.gridHeight / 2;
    Line(svg)
        .raw("<text class=\"axis\" text-anchor=\"middle\"")
        .num("x", x)
        .num("y", y)
        .raw(" transform=\"rotate(-90 ");
    appendInt(svg, x);
    svg += ' ';
    appendInt(svg, y);
    svg += ")\">data point</text>\r\n";
  }
}

void appendRotated(std::string& out, const char* classes, long long x, long long y,
                   const std::string& text) {
  Line line(out);
  line.raw("<text");
  if (*classes != '\0') line.str("class", classes);
  line.num("x", x).num("y", y).raw(" transform=\"rotate(-90 ");
  appendInt(out, x);
  out += ' ';
  appendInt(out, y);
  out += ")\">";
  out += text;
  out += "</text>\r\n";
}

// Names on top, each column's factor between its name and the matrix, and one hover text per
// column with both.
void appendNames(std::string& svg, const Layout& l, const std::vector<Column>& columns) {
  if (columns.empty()) return;
  const int baselineShift = l.labelFont * 35 / 100;
  const long long factorY = l.gridY - PlotLayout::tick - PlotLayout::labelGap;
  const long long nameY = l.gridY - PlotLayout::tick - l.factorSpace;
  std::string ticks;
  std::string names;
  std::string factors;
  for (std::size_t i = 0; i < columns.size(); i += static_cast<std::size_t>(l.labelStep)) {
    const Column& c = columns[i];
    const long long middle = l.gridX + static_cast<long long>(i) * l.column + l.column / 2;
    ticks += 'M';
    appendInt(ticks, middle);
    ticks += ' ';
    appendInt(ticks, l.gridY - PlotLayout::tick);
    ticks += 'v';
    appendInt(ticks, PlotLayout::tick);
    appendRotated(names, drawn(c) ? "" : "flat", middle + baselineShift, nameY, c.text);
    appendRotated(factors, c.high ? "high" : "", middle + baselineShift, factorY, c.factor);
  }
  svg += "<path stroke=\"#5b6675\" stroke-width=\"1\" d=\"" + ticks + "\"/>\r\n";
  svg += "<g class=\"name\">\r\n" + names + factors + "</g>\r\n";
  Line(svg)
      .raw("<text class=\"sub\" text-anchor=\"end\"")
      .num("x", l.gridX - 6)
      .num("y", factorY)
      .raw(">VIF</text>")
      .raw(crlf);

  svg += "<g fill=\"none\" pointer-events=\"all\">\r\n";
  for (std::size_t i = 0; i < columns.size(); ++i) {
    Line(svg)
        .raw("<rect")
        .num("x", l.gridX + static_cast<long long>(i) * l.column)
        .num("y", l.gridY)
        .num("width", l.column)
        .num("height", l.gridHeight)
        .raw("><title>");
    svg += columns[i].fullName;
    svg += ", VIF ";
    svg += columns[i].factor;
    svg += "</title></rect>\r\n";
  }
  svg += "</g>\r\n";
}

// The band under the matrix: one segment per run of columns of the same kind, labelled where
// the label fits under it. The first run of a kind gives the number of that kind's predictors
// (the confounds' is confoundCount, as on the heatmap), later runs of it only its name.
void appendBand(std::string& svg, const Layout& l, const std::vector<Column>& columns,
                std::span<const PredictorKind> kinds) {
  const long long y = l.gridY + l.gridHeight + 8;
  std::array<bool, 4> counted{};
  std::size_t from = 0;
  while (from < columns.size()) {
    const PredictorKind kind = columns[from].kind;
    std::size_t to = from + 1;
    while (to < columns.size() && columns[to].kind == kind) ++to;
    const long long x = l.gridX + static_cast<long long>(from) * l.column;
    const long long w = static_cast<long long>(to - from) * l.column;
    const char* colour = kind == PredictorKind::interest   ? interestColour
                         : kind == PredictorKind::confound ? confoundColour
                                                           : constantColour;
    Line(svg)
        .raw("<rect")
        .num("x", x)
        .num("y", y)
        .num("width", w)
        .num("height", 5)
        .str("fill", colour)
        .raw("/>")
        .raw(crlf);
    std::string label = kind == PredictorKind::interest   ? "predictors of interest"
                        : kind == PredictorKind::confound ? "confounds"
                        : kind == PredictorKind::constant ? "constant"
                                                          : "flat";
    bool& kindCounted = counted[static_cast<std::size_t>(kind)];
    if (!kindCounted) {
      label += " (";
      appendInt(label, kind == PredictorKind::confound
                           ? confoundCount(kinds)
                           : std::count(kinds.begin(), kinds.end(), kind));
      label += ')';
      kindCounted = true;
    }
    std::string_view text = label;
    if (static_cast<long long>(text.size()) * 7 > w) text = text.substr(0, text.find(" ("));
    if (kind == PredictorKind::interest && static_cast<long long>(text.size()) * 7 > w)
      text = "interest";
    if (static_cast<long long>(text.size()) * 7 <= w) {
      Line(svg)
          .raw("<text class=\"sub\"")
          .num("x", x)
          .num("y", y + 19)
          .raw(">")
          .raw(text)
          .raw("</text>")
          .raw(crlf);
    }
    from = to;
  }
}

void appendLegend(std::string& svg, const Layout& l) {
  const int x = l.barX;
  const int textX = x + PlotLayout::barWidth + 8;
  Line(svg)
      .raw("<rect")
      .num("x", x)
      .num("y", l.gridY)
      .num("width", PlotLayout::barWidth)
      .num("height", barHeight)
      .raw(" fill=\"url(#grey)\" stroke=\"#8a929c\" stroke-width=\"1\"/>")
      .raw(crlf);
  Line(svg)
      .raw("<text")
      .num("x", textX)
      .num("y", l.gridY + 10)
      .raw(">maximum of the column</text>")
      .raw(crlf);
  Line(svg)
      .raw("<text")
      .num("x", textX)
      .num("y", l.gridY + barHeight)
      .raw(">minimum of the column</text>")
      .raw(crlf);
  int y = appendFlatAndNanKey(svg, x, textX, l.gridY + barHeight + 18, nanColour,
                              "not a finite number");
  Line(svg).raw("<text class=\"high\"").num("x", x).num("y", y + 11).raw(">10</text>").raw(crlf);
  Line(svg)
      .raw("<text")
      .num("x", textX)
      .num("y", y + 11)
      .raw(">variance inflation of 10 or more</text>")
      .raw(crlf);
  y += PlotLayout::legendItem;
  appendConfoundLineKey(svg, x, textX, y);
}

}  // namespace

std::string designPlotPath(const std::string& fileName, const std::string& folder) {
  return insertSuffix(correlationPlotPath(fileName, folder), "_design");
}

std::string designPlotSvg(const DesignMatrix& matrix, std::span<const std::string> names,
                          std::span<const double> varianceInflation) {
  const std::size_t k = coveredPredictorCount(matrix);
  if (names.size() != k || varianceInflation.size() != k)
    throw std::invalid_argument("names or factors do not fit the design matrix");
  const std::vector<PredictorKind> kinds = predictorKinds(matrix, static_cast<int>(k));
  const std::vector<Column> columns = columnsOf(kinds, names, varianceInflation);
  std::size_t longestName = 0;
  std::size_t longestFactor = 0;
  std::size_t points = 0;
  for (std::size_t i = 0; i < k; ++i) {
    longestName = std::max(longestName, columns[i].characters);
    longestFactor = std::max(longestFactor, columns[i].factorCharacters);
    points = std::max(points, matrix.values[i].size());
  }
  std::string title;
  const XmlTextLength titleLength = appendXmlText(title, baseName(matrix.fileName));
  const Layout layout = designLayout(k, static_cast<long long>(points), longestName, longestFactor,
                                     titleLength.characters);
  const int start = confoundStart(matrix, layout.count);

  std::string svg;
  appendHeader(svg, layout, title);
  appendValues(svg, layout, matrix, columns);
  appendConfoundLine(svg, layout, start);
  appendTimeAxis(svg, layout);
  appendNames(svg, layout, columns);
  appendBand(svg, layout, columns, kinds);
  appendLegend(svg, layout);
  svg += "</svg>\r\n";
  return svg;
}

void writeDesignPlot(const DesignMatrix& matrix, std::span<const std::string> names,
                     std::span<const double> varianceInflation, const std::string& folder) {
  const std::string svg = designPlotSvg(matrix, names, varianceInflation);
  OutputFile file(designPlotPath(matrix.fileName, folder));
  file.write(svg);
  file.commit();
}
