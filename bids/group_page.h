#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "group.h"

// The parts of the group report page (group_report.html), each made in its own file: the text
// escapes, the strip plots, the tables, the style sheet and the script.
namespace bids {

// `text` with &, <, >, " and ' as character references: safe in HTML text and attributes.
std::string htmlText(std::string_view text);
// `text` as a JSON string in quotes, with <, > and & as \u escapes too, so that it cannot end the
// script element it sits in ("</script>") or open a comment there.
std::string jsonText(std::string_view text);

// One measure of the runs, plotted as a strip of points, a point per run that has a value.
struct Measure {
  std::string title;      // "Largest VIF of interest"
  std::string unit;       // after each value: " %", " mm" or ""
  int decimals = 2;       // of the values in the page's data and tooltips
  bool logScale = false;  // a logarithmic scale from `low` (> 0) to `high`
  double low = 0, high = 1;
  std::vector<std::pair<double, Mark>> limits;  // the thresholds drawn across the strip
  std::vector<std::optional<double>> values;    // one per run, in the rows' order; may be inf
};

// The measures the rows have a value of (a measure with none is left out): the efficiency and
// the confound cost of each contrast name, the largest VIF of interest, the strongest pair of
// interest, the share scrubbed, the mean framewise displacement; each with its scale.
std::vector<Measure> measuresOf(const std::vector<RunRow>& rows);
// The strip's frame, its caption (id "strip-<index>-title") and an inline SVG with the scale,
// the limits and an empty <g class="points"> that the script fills from the page's data.
std::string stripFrame(const Measure& measure, std::size_t index);
// The place of the points in every strip, as JSON: {"x0": ..., "x1": ..., "inf": ..., ...}.
std::string stripGeometry();

// The runs table: a row per run in the rows' order, each linking to the run's page.
std::string runsTable(const std::vector<RunRow>& rows);
// The failed runs with their errors and a link to each failure record; a note when none failed.
std::string failedTable(const std::vector<FailedRun>& failed);
// The events the rows' events files skipped, summed by reason over the rows (reasons in byte
// order), with the runs that skipped any for it; a note when none did or no summary says.
std::string skippedTable(const std::vector<RunRow>& rows);

extern const char* const pageStyle;   // the page's CSS
extern const char* const pageScript;  // the page's JavaScript: plots, tooltip, filters, sorting

}  // namespace bids
