// The plot of the group report: the largest VIF among the task predictors of every run.

#include <algorithm>
#include <cmath>

#include "group.h"
#include "text_files.h"

namespace bids {

namespace {

// Room around the bars: the scale on the left, the labels turned down to the right below.
constexpr double left = 56, top = 16, plotHeight = 200, labelSpace = 150, labelReach = 140;
constexpr double step = 34, bar = 24;

// The scale's top: 15 at least, the largest finite factor rounded up to a multiple of 5, 30 at
// most (taller bars are cut there and labelled with their value).
double scaleTop(const std::vector<RunRow>& rows) {
  double largest = 0;
  for (const RunRow& row : rows) {
    if (row.maxTaskVif && std::isfinite(*row.maxTaskVif))
      largest = std::max(largest, *row.maxTaskVif);
  }
  return std::clamp(5 * std::ceil((largest + 1) / 5), 15.0, 30.0);
}

std::string number(double value) { return fixedText(value, 1); }

// A bar's colour goes by the factor alone (the row's mark may come from another threshold).
const char* barClass(double vif) {
  return vif >= 10 ? "bar-red" : vif >= 5 ? "bar-amber" : "bar-ok";
}

double yOf(double value, double scale) {
  return top + plotHeight * (1 - std::min(value, scale) / scale);
}

std::string line(const char* cssClass, double x1, double y1, double x2, double y2) {
  return std::string("<line class=\"") + cssClass + "\" x1=\"" + number(x1) + "\" y1=\"" +
         number(y1) + "\" x2=\"" + number(x2) + "\" y2=\"" + number(y2) + "\"/>\n";
}

std::string text(double x, double y, const std::string& anchor, const std::string& content,
                 const std::string& extra = "") {
  return "<text x=\"" + number(x) + "\" y=\"" + number(y) + "\" text-anchor=\"" + anchor + "\"" +
         extra + ">" + content + "</text>\n";
}

// The grid every 5, its numbers, the axis and the two limits.
std::string scale(double width, double scaleMax) {
  std::string svg;
  for (double v = 0; v <= scaleMax; v += 5) {
    svg += line("grid", left, yOf(v, scaleMax), width - 8, yOf(v, scaleMax));
    svg += text(left - 6, yOf(v, scaleMax) + 4, "end", fixedText(v, 0));
  }
  svg += line("limit-amber", left, yOf(5, scaleMax), width - 8, yOf(5, scaleMax));
  svg += line("limit-red", left, yOf(10, scaleMax), width - 8, yOf(10, scaleMax));
  svg += line("axis", left, top, left, top + plotHeight);
  svg += text(14, top + plotHeight / 2, "middle", "VIF",
              " transform=\"rotate(-90 14 " + number(top + plotHeight / 2) + ")\"");
  return svg;
}

// One run's bar (or "n/a"), linking to its row, and its label under the axis.
std::string runBar(const RunRow& row, std::size_t index, double scaleMax) {
  const double x = left + 8 + static_cast<double>(index) * step;
  const double base = top + plotHeight;
  const std::string anchor = "#run-" + std::to_string(index + 1);
  std::string svg = "<a href=\"" + anchor + "\">";
  if (!row.maxTaskVif) {
    svg += text(x + bar / 2, base - 4, "middle", "n/a");
  } else {
    const double value = *row.maxTaskVif;
    const std::string shown = fixedText(value, 2);
    const double y = yOf(value, scaleMax);
    svg += "<rect class=\"" + std::string(barClass(value)) + "\" x=\"" + number(x) + "\" y=\"" +
           number(y) + "\" width=\"" + number(bar) + "\" height=\"" + number(base - y) +
           "\"><title>" + row.label() + ": task VIF " + shown + "</title></rect>";
    if (value > scaleMax) svg += text(x + bar / 2, top - 4, "middle", shown);
  }
  svg += "</a>\n";
  const double labelX = x + bar / 2;
  svg += text(labelX, base + 12, "start", row.label(),
              " transform=\"rotate(45 " + number(labelX) + " " + number(base + 12) + ")\"");
  return svg;
}

}  // namespace

std::string vifPlot(const std::vector<RunRow>& rows) {
  const double width =
      std::max(420.0, left + 16 + static_cast<double>(rows.size()) * step + labelReach);
  const double height = top + plotHeight + labelSpace;
  const double scaleMax = scaleTop(rows);
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" id=\"vif-plot\" width=\"" +
                    number(width) + "\" height=\"" + number(height) + "\" viewBox=\"0 0 " +
                    number(width) + " " + number(height) +
                    "\" role=\"img\" aria-labelledby=\"plot-title\">\n";
  svg += scale(width, scaleMax);
  for (std::size_t i = 0; i < rows.size(); ++i) svg += runBar(rows[i], i, scaleMax);
  return svg + "</svg>\n";
}

}  // namespace bids
