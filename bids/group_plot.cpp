// The strip plots of the group report: a measure per strip, its scale on a fixed width whatever
// the number of runs. The points themselves are drawn by the page's script from its data.

#include <algorithm>
#include <cmath>

#include "group_page.h"
#include "text_files.h"

namespace bids {

namespace {

// The strip's geometry in SVG units: the scale from x0 to x1, infinite values at xInf, the
// points spread over y0..y1, the axis below them.
constexpr double width = 1280, height = 90, x0 = 16, x1 = 1200, xInf = 1240, y0 = 4, y1 = 60;
constexpr double axisY = 66, labelY = 82;

double powerOfTenBelow(double value) { return std::pow(10.0, std::floor(std::log10(value))); }

// The smallest of 1, 2, 2.5 and 5 times a power of ten that is at least `value` (> 0).
double niceAbove(double value) {
  const double power = powerOfTenBelow(value);
  for (double step : {1.0, 2.0, 2.5, 5.0})
    if (step * power >= value) return step * power;
  return 10 * power;
}

// 1, 2, 5, 10, 20, 50, ...: the ticks of a logarithmic scale.
double nextLogTick(double tick) {
  return tick / powerOfTenBelow(tick) == 2 ? tick * 2.5 : tick * 2;
}

// The scale's ends: from 0 (or a round number below negative values) to a round number at or
// above the largest finite value and `least`; a logarithmic scale runs from 1 to a tick.
void setScale(Measure& measure, double least) {
  double smallest = 0, largest = least;
  for (const auto& value : measure.values) {
    if (!value || std::isinf(*value)) continue;
    smallest = std::min(smallest, *value);
    largest = std::max(largest, *value);
  }
  measure.low = measure.logScale ? 1 : smallest < 0 ? -niceAbove(-smallest) : 0;
  if (!measure.logScale) {
    measure.high = largest > 0 ? niceAbove(largest) : 1;
    return;
  }
  for (measure.high = 1; measure.high < largest;) measure.high = nextLogTick(measure.high);
}

double xOf(const Measure& measure, double value) {
  const double share = measure.logScale ? std::log(std::max(value, measure.low) / measure.low) /
                                              std::log(measure.high / measure.low)
                                        : (value - measure.low) / (measure.high - measure.low);
  return x0 + (x1 - x0) * std::clamp(share, 0.0, 1.0);
}

std::string at(double value) { return fixedText(value, 1); }

std::string line(const char* cssClass, double left, double right, double top, double bottom) {
  return std::string("<line class=\"") + cssClass + "\" x1=\"" + at(left) + "\" x2=\"" + at(right) +
         "\" y1=\"" + at(top) + "\" y2=\"" + at(bottom) + "\"/>";
}

// A line across the strip from the top of the points to the axis.
std::string across(const char* cssClass, double x) { return line(cssClass, x, x, y0, axisY); }

std::string tickLabel(double x, const std::string& text) {
  return "<text x=\"" + at(x) + "\" y=\"" + at(labelY) + "\">" + text + "</text>";
}

// A faint line across the points and a number under the axis, at round values.
std::string ticks(const Measure& measure) {
  std::string svg;
  if (measure.logScale) {
    for (double tick = 1; tick <= measure.high; tick = nextLogTick(tick))
      svg += across("grid", xOf(measure, tick)) +
             tickLabel(xOf(measure, tick), fixedText(tick, 0)) + "\n";
    return svg;
  }
  const double step = niceAbove((measure.high - measure.low) / 5);
  const double mantissa = step / powerOfTenBelow(step);
  const int decimals = std::max(0, -static_cast<int>(std::floor(std::log10(step)))) +
                       (std::abs(mantissa - 2.5) < 1e-9 ? 1 : 0);
  // Whole multiples of the step, so that no tick is "-0.0" or 0.30000000000000004.
  const auto first = static_cast<long long>(std::ceil(measure.low / step - 1e-9));
  for (long long k = first; static_cast<double>(k) * step <= measure.high * (1 + 1e-9); ++k) {
    const double tick = static_cast<double>(k) * step;
    svg += across("grid", xOf(measure, tick)) +
           tickLabel(xOf(measure, tick), fixedText(tick, decimals)) + "\n";
  }
  return svg;
}

bool hasValue(const std::optional<double>& value) { return value.has_value(); }
bool isMissing(const std::optional<double>& value) { return !value; }
bool isInfinite(const std::optional<double>& value) { return value && std::isinf(*value); }

std::size_t count(const Measure& measure, bool (*which)(const std::optional<double>&)) {
  return static_cast<std::size_t>(
      std::count_if(measure.values.begin(), measure.values.end(), which));
}

// A measure before its values and scale.
Measure shaped(std::string title, const char* unit, int decimals, bool logScale = false,
               std::vector<std::pair<double, Mark>> limits = {}) {
  Measure result;
  result.title = std::move(title);
  result.unit = unit;
  result.decimals = decimals;
  result.logScale = logScale;
  result.limits = std::move(limits);
  return result;
}

// A measure of every run that has a value; none when no run has one.
std::optional<Measure> measure(const std::vector<RunRow>& rows, Measure shape, double least,
                               std::optional<double> (*value)(const RunRow&)) {
  for (const RunRow& row : rows) shape.values.push_back(value(row));
  if (count(shape, hasValue) == 0) return std::nullopt;
  setScale(shape, least);
  return shape;
}

const ContrastCell* contrastNamed(const RunRow& row, const std::string& name) {
  for (const ContrastCell& contrast : row.contrasts)
    if (contrast.name == name && contrast.estimable) return &contrast;
  return nullptr;
}

// The contrast names of the rows, in the order they first come.
std::vector<std::string> contrastNames(const std::vector<RunRow>& rows) {
  std::vector<std::string> names;
  for (const RunRow& row : rows)
    for (const ContrastCell& contrast : row.contrasts)
      if (std::find(names.begin(), names.end(), contrast.name) == names.end())
        names.push_back(contrast.name);
  return names;
}

// The efficiency (or else the confound cost) of contrast `name` in every row.
Measure contrastMeasure(const std::vector<RunRow>& rows, const std::string& name, bool cost) {
  Measure result = shaped((cost ? "Confound cost of " : "Efficiency of ") + name, "", 3);
  for (const RunRow& row : rows) {
    const ContrastCell* contrast = contrastNamed(row, name);
    result.values.push_back(!contrast ? std::nullopt
                            : cost    ? contrast->confoundCost
                                      : contrast->efficiency);
  }
  setScale(result, 0);
  return result;
}

}  // namespace

std::vector<Measure> measuresOf(const std::vector<RunRow>& rows) {
  std::vector<Measure> result;
  for (bool cost : {false, true})
    for (const std::string& name : contrastNames(rows)) {
      Measure contrast = contrastMeasure(rows, name, cost);
      if (count(contrast, hasValue) > 0) result.push_back(std::move(contrast));
    }
  const std::optional<Measure> more[] = {
      measure(rows,
              shaped("Largest VIF of interest", "", 2, true, {{5, Mark::amber}, {10, Mark::red}}),
              20, [](const RunRow& row) { return row.maxTaskVif; }),
      measure(rows, shaped("Strongest flagged pair with a predictor of interest, |r|", "", 2), 1,
              [](const RunRow& row) -> std::optional<double> {
                if (!row.strongestInterestPair) return std::nullopt;
                return std::abs(row.strongestInterestPair->r);
              }),
      measure(rows, shaped("Volumes scrubbed", " %", 1, false, {{20, Mark::red}}), 25,
              [](const RunRow& row) -> std::optional<double> { return 100 * row.scrubbedShare(); }),
      measure(rows, shaped("Mean framewise displacement", " mm", 3), 0,
              [](const RunRow& row) { return row.meanFramewiseDisplacement; }),
  };
  for (const auto& one : more)
    if (one) result.push_back(*one);
  return result;
}

std::string stripFrame(const Measure& measure, std::size_t index) {
  const std::string id = "strip-" + std::to_string(index);
  const std::size_t missing = count(measure, isMissing);
  std::string html =
      "<figure class=\"strip\">\n<figcaption id=\"" + id + "-title\">" + htmlText(measure.title);
  if (missing > 0)
    html += " <span class=\"note\">(n/a for " + std::to_string(missing) +
            (missing == 1 ? " run" : " runs") + ")</span>";
  html += "</figcaption>\n<svg xmlns=\"http://www.w3.org/2000/svg\" id=\"" + id +
          "\" viewBox=\"0 0 " + at(width) + " " + at(height) + "\" width=\"" + at(width) +
          "\" height=\"" + at(height) + "\" role=\"img\" aria-labelledby=\"" + id + "-title\">\n";
  html += ticks(measure);
  for (const auto& [value, mark] : measure.limits)
    html += across(mark == Mark::red ? "limit-red" : "limit-amber", xOf(measure, value)) + "\n";
  html += line("axis", x0, x1, axisY, axisY) + "\n";
  if (count(measure, isInfinite) > 0)
    html += across("grid", xInf) + tickLabel(xInf, "&#8734;") + "\n";
  return html + "<g class=\"points\"></g>\n</svg>\n</figure>\n";
}

std::string stripGeometry() {
  return "{\"x0\": " + at(x0) + ", \"x1\": " + at(x1) + ", \"inf\": " + at(xInf) +
         ", \"y0\": " + at(y0) + ", \"y1\": " + at(y1) + "}";
}

}  // namespace bids
