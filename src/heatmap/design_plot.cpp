#include "heatmap/design_plot.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "base/number_text.h"
#include "base/paths.h"
#include "correlation/predictor_role.h"
#include "heatmap/colour_scale.h"
#include "heatmap/plot.h"
#include "heatmap/plot_layout.h"
#include "heatmap/plot_legend.h"
#include "heatmap/svg_line.h"
#include "heatmap/xml_text.h"
#include "sdm/design_matrix.h"

namespace heatmap {

namespace {

using svgtext::appendGroup;
using svgtext::appendLines;
using svgtext::appendRotatedText;
using svgtext::appendText;
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

constexpr const char* constantColour = "#9aa1ab";
constexpr const char* blockedColour = "#d55e00";  // vermilion: apart from the high factors' red
constexpr const char* nanColour = "#c51b7d";      // no grey, so it cannot pass for a value
constexpr const char* onsetColour = "#0072b2";    // blue: apart from every grey and the reds

// One predictor's column: its kind, its name and its factor as XML text, ready to draw.
struct Column {
  correlation::PredictorRole kind = correlation::PredictorRole::interest;
  std::string text;      // shown name, cut after maxNameCharacters
  std::string fullName;  // the whole name, for the hover text
  std::size_t characters = 0;
  std::string factor;  // "12.3", "inf", or a dash when there is none
  std::size_t factorCharacters = 0;
  bool high = false;
  bool blocked = false;  // a contrast cannot be estimated for it
};

// Where the parts of the design picture go, in whole pixels.
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
  bool blockedKey = false;  // the key has the line of the predictors no contrast can estimate
};

// The number of decimal digits of `value`, which is not negative.
int digitCount(long long value) {
  int digits = 1;
  while (value >= 10) {
    value /= 10;
    ++digits;
  }
  return digits;
}

// The layout for `count` columns of `points` data points, with the longest name, factor and
// title as wide as the characters given.
Layout designLayout(std::size_t count, long long points, std::size_t nameCharacters,
                    std::size_t factorCharacters, std::size_t titleCharacters, bool blockedKey) {
  Layout layout;
  layout.blockedKey = blockedKey;
  layout.count = static_cast<int>(count);
  layout.points = points;
  layout.column = std::clamp(targetWidth / std::max(layout.count, 1), minColumn, maxColumn);
  layout.labelStep = (minLabelPitch + layout.column - 1) / layout.column;
  layout.labelFont = std::min(12, layout.column * layout.labelStep - 2);
  layout.gridWidth = layout.count * layout.column;
  layout.gridHeight = static_cast<int>(std::min<long long>(points * maxRow, targetHeight));

  const int nameSpace = std::max(monospaceWidth(nameCharacters, layout.labelFont), 8) +
                        PlotLayout::tick + PlotLayout::labelGap;
  layout.factorSpace =
      monospaceWidth(std::max<std::size_t>(factorCharacters, 3), layout.labelFont) +
      3 * PlotLayout::labelGap;
  const int axisSpace = monospaceWidth(static_cast<std::size_t>(digitCount(points)), axisFont) +
                        PlotLayout::tick + PlotLayout::labelGap;
  // Room for the rotated axis title and for "VIF" beside the factors.
  layout.gridX = PlotLayout::pad + std::max(18 + axisSpace, 30);
  layout.gridY = PlotLayout::subtitleBaseline + 14 + nameSpace + layout.factorSpace;
  layout.barX = layout.gridX + layout.gridWidth + 28;

  const int titleWidth = PlotLayout::pad * 2 + static_cast<int>(titleCharacters) * 11;
  layout.width = std::max(
      layout.barX + PlotLayout::barWidth + 8 + legendTextWidth + PlotLayout::pad, titleWidth);
  const int legendBottom =
      layout.gridY + barHeight + 18 + (legendItems + (blockedKey ? 1 : 0)) * PlotLayout::legendItem;
  layout.height =
      std::max(layout.gridY + layout.gridHeight + PlotLayout::bandHeight, legendBottom) +
      PlotLayout::pad;
  return layout;
}

// The columns of the predictors of `kinds` shown with `names` and variance inflation `factors`.
std::vector<Column> columnsOf(std::span<const correlation::PredictorRole> kinds,
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
      base::appendFixed(c.factor, factors[i], 1);
      c.factorCharacters = c.factor.size();
      // Confounds inflate each other as a matter of course: only the task's factors stand out.
      c.high = factors[i] >= highFactor && kinds[i] == correlation::PredictorRole::interest;
    }
  }
  return columns;
}

// Whether a column's values are drawn: those of constant and flat predictors are hatched.
bool drawn(const Column& c) { return correlation::correlates(c.kind); }

// Appends everything before the values: the svg element, the defs, the style and the titles.
void appendHeader(std::string& svg, const Layout& layout, const std::string& title) {
  const GradientStop greyStops[] = {{"0", {255, 255, 255}}, {"1", {0, 0, 0}}};
  appendSvgStart(svg, layout.width, layout.height, title, "grey", greyStops);
  appendLines(svg, {".axis{fill:#5b6675;font-size:11px}"});
  appendNameRules(svg, layout.labelFont);
  appendLines(svg, {".high{fill:#b2182b;font-weight:bold}"});
  if (layout.blockedKey)
    Line(svg).raw(".blocked{fill:").raw(blockedColour).raw(";font-weight:bold}").end();
  appendLines(svg, {"</style>"});
  std::string subtitle;
  Line(subtitle)
      .raw("Design matrix: ")
      .num(layout.count)
      .raw(layout.count == 1 ? " predictor over " : " predictors over ")
      .num(layout.points)
      .raw(layout.points == 1 ? " data point" : " data points");
  appendFrame(svg, layout.width, layout.height, title, subtitle);
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

// A run of equal grey down one column: from data point `from`, `length` points long.
struct Run {
  uint32_t column, from, length;
};

// The runs of every column, by grey (nanKey last), in column order within each grey.
using GreyRuns = std::vector<std::vector<Run>>;

// Adds the runs of equal grey of column `column`, whose greys are `levels`, to `runs`.
void addColumnRuns(GreyRuns& runs, std::size_t column, const std::vector<int>& levels) {
  std::size_t t = 0;
  while (t < levels.size()) {
    std::size_t end = t + 1;
    while (end < levels.size() && levels[end] == levels[t]) ++end;
    runs[static_cast<std::size_t>(levels[t])].push_back(
        {static_cast<uint32_t>(column), static_cast<uint32_t>(t), static_cast<uint32_t>(end - t)});
    t = end;
  }
}

// Appends the path data of `runs`, each a vertical stroke one column wide down the column's
// middle, moving relative to the last one within a column.
void appendRunPath(base::ChunkedText& out, const std::vector<Run>& runs) {
  uint32_t column = UINT32_MAX, at = 0;
  for (const Run& run : runs) {
    Line d(out.text);
    if (run.column != column)
      d.raw('M').num(run.column).raw(".5 ").num(run.from);
    else
      d.raw("m0 ").num(static_cast<long long>(run.from) - at);
    d.raw('v').num(run.length);
    column = run.column;
    at = run.from + run.length;
    out.spillWhenFull();
  }
}

// The colour of grey `key`: black for 0 up to white for designGreyLevels - 1, nanColour for
// nanKey.
std::string greyColour(std::size_t key) {
  if (key == nanKey) return nanColour;
  const auto grey = static_cast<uint8_t>(
      (255 * static_cast<int>(key) + (designGreyLevels - 1) / 2) / (designGreyLevels - 1));
  std::string colour;
  appendHexColour(colour, {grey, grey, grey});
  return colour;
}

// Appends the values: a nested picture whose own coordinates are one unit per column and per
// data point, stretched over the matrix, with one path per grey.
void appendValuePaths(base::ChunkedText& out, const Layout& layout, const GreyRuns& runs) {
  Line(out.text)
      .raw("<svg")
      .box(layout.gridX, layout.gridY, layout.gridWidth, layout.gridHeight)
      .raw(" viewBox=\"0 0 ")
      .num(layout.count)
      .raw(' ')
      .num(layout.points)
      .raw(
          "\" preserveAspectRatio=\"none\" shape-rendering=\"crispEdges\" fill=\"none\" "
          "stroke-width=\"1\">")
      .end();
  for (std::size_t key = 0; key < runs.size(); ++key) {
    if (runs[key].empty()) continue;
    Line(out.text).raw("<path").str("stroke", greyColour(key)).raw(" d=\"");
    appendRunPath(out, runs[key]);
    Line(out.text).raw("\"/>").end();
  }
  Line(out.text).raw("</svg>").end();
}

// The values, each run of equal grey in a column one rectangle, so that the file grows with the
// changes in the data rather than with its size; constant and flat columns hatched instead.
void appendValues(base::ChunkedText& out, const Layout& layout, const sdm::DesignMatrix& matrix,
                  const std::vector<Column>& columns) {
  std::string& svg = out.text;
  const bool filled = layout.count > 0 && layout.points > 0;
  if (filled) {
    GreyRuns runs(designGreyLevels + 1);
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (drawn(columns[i])) addColumnRuns(runs, i, levelsOf(matrix.predictors[i].values));
    }
    appendValuePaths(out, layout, runs);
  }
  Line(svg).raw("<g shape-rendering=\"crispEdges\">").end();
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (drawn(columns[i])) continue;
    appendHatching(svg, layout.gridX + static_cast<long long>(i) * layout.column, layout.gridY,
                   layout.column, layout.gridHeight);
  }
  Line(svg).raw("</g>").end();
  if (filled)
    appendGridBorder(svg, layout.gridX, layout.gridY, layout.gridWidth, layout.gridHeight);
}

// The line down the matrix between predictors of interest and confounds, when there are both.
void appendConfoundLine(std::string& svg, const Layout& layout, int start) {
  if (start <= 0 || start >= layout.count) return;
  const long long x = layout.gridX + static_cast<long long>(start) * layout.column;
  Line(svg)
      .raw("<line")
      .num("x1", x)
      .num("y1", layout.gridY - 4)
      .num("x2", x)
      .num("y2", layout.gridY + layout.gridHeight + 4)
      .raw(" stroke=\"#000000\" stroke-width=\"2\"/>")
      .end();
}

// Appends the path of the axis ticks whose path data is `ticks`.
void appendTicks(std::string& svg, const std::string& ticks) {
  Line(svg).raw("<path stroke=\"#5b6675\" stroke-width=\"1\"").str("d", ticks).raw("/>").end();
}

// The step between numbered data points: the smallest of 1, 2, 5, 10, 20, 50 ... that numbers
// no more than 8 of them.
long long timeStep(long long points) {
  long long step = 1;
  for (long long scale = 1; points / step > 8; scale *= 10) {
    for (const long long m : {1LL, 2LL, 5LL}) {
      step = m * scale;
      if (points / step <= 8) break;
    }
  }
  return step;
}

// One tick of the time axis at `y`, labelled `value`.
void appendTimeTick(std::string& ticks, std::string& labels, const Layout& layout, long long y,
                    long long value) {
  Line(ticks)
      .raw('M')
      .num(layout.gridX - PlotLayout::tick)
      .raw(' ')
      .num(y)
      .raw('h')
      .num(PlotLayout::tick);
  Line(labels)
      .raw("<text")
      .num("x", layout.gridX - PlotLayout::tick - PlotLayout::labelGap)
      .num("y", y + 4)
      .raw('>')
      .num(value)
      .raw("</text>")
      .end();
}

// The ticks and labels of the time axis into `svg`, with its title when the grid is tall enough.
void finishTimeAxis(std::string& svg, const Layout& layout, const std::string& ticks,
                    const std::string& labels, const char* title) {
  appendTicks(svg, ticks);
  appendGroup(svg, "<g class=\"axis\" text-anchor=\"end\">", labels);
  if (layout.gridHeight >= 80) {
    appendRotatedText(svg, PlotLayout::pad + 10, layout.gridY + layout.gridHeight / 2, title,
                      " class=\"axis\" text-anchor=\"middle\"");
  }
}

// Data points counted from 1 down the left edge: the first and every multiple of a round step.
void appendTimeAxis(std::string& svg, const Layout& layout) {
  if (layout.points <= 0) return;
  const long long step = timeStep(layout.points);
  const auto yOf = [&](long long t) {
    return layout.gridY + ((2 * t - 1) * layout.gridHeight) / (2 * layout.points);
  };
  std::string ticks;
  std::string labels;
  long long last = std::numeric_limits<long long>::min() / 2;
  for (long long t = 1; t <= layout.points; t = t == 1 && step > 1 ? step : t + step) {
    const long long y = yOf(t);
    if (y - last < minTickPitch) continue;
    last = y;
    appendTimeTick(ticks, labels, layout, y, t);
  }
  finishTimeAxis(svg, layout, ticks, labels, "data point");
}

// Seconds from the start of the run down the left edge, each row a repetition time: 0 and every
// multiple of a round step.
void appendSecondsAxis(std::string& svg, const Layout& layout, double tr) {
  if (layout.points <= 0) return;
  const double total = static_cast<double>(layout.points) * tr;
  const long long step = timeStep(std::max(1LL, static_cast<long long>(total)));
  std::string ticks, labels;
  for (long long s = 0; static_cast<double>(s) < total; s += step) {
    const auto y = layout.gridY + std::llround(static_cast<double>(s) / total * layout.gridHeight);
    appendTimeTick(ticks, labels, layout, y, s);
  }
  finishTimeAxis(svg, layout, ticks, labels, "time (s)");
}

// A line across each column at the onset of every event it models, within the run.
void appendOnsets(std::string& svg, const Layout& layout, const DesignTiming& timing) {
  const double total = static_cast<double>(layout.points) * timing.repetitionTime;
  std::string d;
  const std::size_t columns =
      std::min(timing.onsets.size(), static_cast<std::size_t>(layout.count));
  for (std::size_t i = 0; i < columns; ++i) {
    for (const double onset : timing.onsets[i]) {
      if (!(onset >= 0.0 && onset < total)) continue;
      Line(d)
          .raw('M')
          .num(layout.gridX + static_cast<long long>(i) * layout.column)
          .raw(' ')
          .num(layout.gridY + std::llround(onset / total * layout.gridHeight))
          .raw('h')
          .num(layout.column);
    }
  }
  if (d.empty()) return;
  Line(svg)
      .raw("<path")
      .str("stroke", onsetColour)
      .raw(" stroke-width=\"2\"")
      .str("d", d)
      .raw("><title>event onsets</title></path>")
      .end();
}

// Names on top, each column's factor between its name and the matrix, and one hover text per
// column with both.
void appendNames(std::string& svg, const Layout& layout, const std::vector<Column>& columns) {
  if (columns.empty()) return;
  const int baselineShift = layout.labelFont * 35 / 100;
  const long long factorY = layout.gridY - PlotLayout::tick - PlotLayout::labelGap;
  const long long nameY = layout.gridY - PlotLayout::tick - layout.factorSpace;
  std::string ticks;
  std::string names;
  std::string factors;
  for (std::size_t i = 0; i < columns.size(); i += static_cast<std::size_t>(layout.labelStep)) {
    const Column& c = columns[i];
    const long long middle =
        layout.gridX + static_cast<long long>(i) * layout.column + layout.column / 2;
    Line(ticks)
        .raw('M')
        .num(middle)
        .raw(' ')
        .num(layout.gridY - PlotLayout::tick)
        .raw('v')
        .num(PlotLayout::tick);
    appendRotatedText(names, middle + baselineShift, nameY, c.text,
                      c.blocked  ? " class=\"blocked\""
                      : drawn(c) ? ""
                                 : " class=\"flat\"");
    appendRotatedText(factors, middle + baselineShift, factorY, c.factor,
                      c.high ? " class=\"high\"" : "");
  }
  appendTicks(svg, ticks);
  appendGroup(svg, "<g class=\"name\">", names, factors);
  appendText(svg, layout.gridX - 6, factorY, "VIF", " class=\"sub\" text-anchor=\"end\"");

  Line(svg).raw("<g fill=\"none\" pointer-events=\"all\">").end();
  for (std::size_t i = 0; i < columns.size(); ++i) {
    Line(svg)
        .raw("<rect")
        .box(layout.gridX + static_cast<long long>(i) * layout.column, layout.gridY, layout.column,
             layout.gridHeight)
        .raw("><title>")
        .raw(columns[i].fullName)
        .raw(", VIF ")
        .raw(columns[i].factor)
        .raw(columns[i].blocked ? ", a contrast cannot be estimated for it" : "")
        .raw("</title></rect>")
        .end();
  }
  Line(svg).raw("</g>").end();
}

// The band under the matrix: one segment per run of columns of the same kind, labelled where
// the label fits under it. The first run of a kind gives the number of that kind's predictors
// (the confounds' count is the heatmap's too), later runs only its name.
void appendBand(std::string& svg, const Layout& layout, const std::vector<Column>& columns,
                std::span<const correlation::PredictorRole> kinds) {
  const long long y = layout.gridY + layout.gridHeight + 8;
  std::array<bool, 4> counted{};
  std::size_t from = 0;
  while (from < columns.size()) {
    const correlation::PredictorRole kind = columns[from].kind;
    std::size_t to = from + 1;
    while (to < columns.size() && columns[to].kind == kind) ++to;
    const char* colour = kind == correlation::PredictorRole::interest   ? interestColour
                         : kind == correlation::PredictorRole::confound ? confoundColour
                                                                        : constantColour;
    const std::string_view word = kind == correlation::PredictorRole::interest
                                      ? "predictors of interest"
                                  : kind == correlation::PredictorRole::confound ? "confounds"
                                  : kind == correlation::PredictorRole::constant ? "constant"
                                                                                 : "flat";
    const std::string_view shortWord =
        kind == correlation::PredictorRole::interest ? "interest" : word;
    const long long x = layout.gridX + static_cast<long long>(from) * layout.column;
    const long long width = static_cast<long long>(to - from) * layout.column;
    bool& alreadyCounted = counted[static_cast<std::size_t>(kind)];
    if (alreadyCounted) {
      appendBandSegment(svg, x, y, width, colour, {word, shortWord});
    } else {
      const long long count = std::count(kinds.begin(), kinds.end(), kind);
      appendBandSegment(svg, x, y, width, colour, {countedLabel(word, count), word, shortWord});
      alreadyCounted = true;
    }
    from = to;
  }
}

// The key: the grey scale, the hatching, the colour of values that are not finite, the high
// factors and the confound line.
void appendLegend(std::string& svg, const Layout& layout) {
  const int x = layout.barX;
  const int textX = x + PlotLayout::barWidth + 8;
  appendColourBar(svg, x, layout.gridY, barHeight, "grey");
  appendText(svg, textX, layout.gridY + 10, "maximum of the column");
  appendText(svg, textX, layout.gridY + barHeight, "minimum of the column");
  int y = appendFlatAndNanKey(svg, x, textX, layout.gridY + barHeight + 18, nanColour,
                              "not a finite number");
  appendText(svg, x, y + 11, "10", " class=\"high\"");
  appendText(svg, textX, y + 11, "VIF of 10 or more (interest)");
  y += PlotLayout::legendItem;
  appendConfoundLineKey(svg, x, textX, y);
  if (!layout.blockedKey) return;
  y += PlotLayout::legendItem;
  appendText(svg, x, y + 11, "name", " class=\"blocked\"");
  appendText(svg, textX, y + 11, "a contrast cannot be estimated for it");
}

}  // namespace

std::string designPlotSvg(const sdm::DesignMatrix& matrix, std::span<const std::string> names,
                          std::span<const double> varianceInflation,
                          std::span<const correlation::PredictorRole> roles,
                          const std::vector<bool>& unestimable, const DesignTiming& timing) {
  std::string svg;
  writeDesignPlot([&svg](std::string_view piece) { svg += piece; }, matrix, names,
                  varianceInflation, roles, unestimable, timing);
  return svg;
}

void writeDesignPlot(const base::TextSink& put, const sdm::DesignMatrix& matrix,
                     std::span<const std::string> names, std::span<const double> varianceInflation,
                     std::span<const correlation::PredictorRole> roles,
                     const std::vector<bool>& unestimable, const DesignTiming& timing) {
  const std::size_t k = matrix.predictors.size();
  if (names.size() != k || varianceInflation.size() != k || roles.size() != k ||
      (!unestimable.empty() && unestimable.size() != k))
    throw std::invalid_argument("names, factors or roles do not fit the design matrix");
  std::vector<Column> columns = columnsOf(roles, names, varianceInflation);
  bool blocked = false;
  for (std::size_t i = 0; i < unestimable.size(); ++i) {
    columns[i].blocked = unestimable[i];
    blocked = blocked || unestimable[i];
  }
  std::size_t longestName = 0;
  std::size_t longestFactor = 0;
  std::size_t points = 0;
  for (std::size_t i = 0; i < k; ++i) {
    longestName = std::max(longestName, columns[i].characters);
    longestFactor = std::max(longestFactor, columns[i].factorCharacters);
    points = std::max(points, matrix.predictors[i].values.size());
  }
  std::string title;
  const XmlTextLength titleLength = appendXmlText(title, base::baseName(matrix.fileName));
  const Layout layout = designLayout(k, static_cast<long long>(points), longestName, longestFactor,
                                     titleLength.characters, blocked);
  const int start = static_cast<int>(correlation::confoundStart(matrix, k));

  base::ChunkedText out(put);
  std::string& svg = out.text;
  appendHeader(svg, layout, title);
  appendValues(out, layout, matrix, columns);
  appendConfoundLine(svg, layout, start);
  const bool seconds = timing.repetitionTime > 0.0;  // NaN fails
  if (seconds)
    appendSecondsAxis(svg, layout, timing.repetitionTime);
  else
    appendTimeAxis(svg, layout);
  if (seconds) appendOnsets(svg, layout, timing);
  appendNames(svg, layout, columns);
  appendBand(svg, layout, columns, roles);
  appendLegend(svg, layout);
  Line(svg).raw("</svg>").end();
  out.flush();
}

}  // namespace heatmap
