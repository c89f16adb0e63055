// The tables of the group report page: the runs and the failed runs. Both read without the
// script; it only sorts and filters their rows.

#include <algorithm>
#include <cmath>
#include <map>

#include "group_page.h"
#include "text_files.h"

namespace bids {

namespace {

std::string td(const std::string& content) { return "<td>" + content + "</td>"; }

// A cell the script sorts by `key` rather than by its text.
std::string keyed(const std::string& key, const std::string& content) {
  return "<td data-sort=\"" + key + "\">" + content + "</td>";
}

std::string sortKey(double value) {
  return std::isinf(value) ? (value > 0 ? "Infinity" : "-Infinity") : shortestText(value);
}

std::string numberCell(const std::optional<double>& value, int decimals,
                       const std::string& after = "") {
  if (!value) return keyed("-Infinity", "n/a");
  return keyed(sortKey(*value), fixedText(*value, decimals) + after);
}

std::string small(const std::string& text) { return " <small>" + htmlText(text) + "</small>"; }

std::string runCell(const RunRow& row, const RunMark&) {
  return td("<a href=\"" + htmlText(row.page) + "\">" + htmlText(row.label()) + "</a>" +
            (row.designOnly ? " <span class=\"tag\">design only</span>" : ""));
}

// A cell of words, left aligned and wrapped.
std::string textCell(const std::string& html) { return "<td class=\"text\">" + html + "</td>"; }

// A file's path, broken anywhere to fit; "n/a" when there is none.
std::string pathCell(const std::string& path) {
  return "<td class=\"path\">" + (path.empty() ? std::string("n/a") : htmlText(path)) + "</td>";
}

// The mark, then what crossed its thresholds in words.
std::string markCell(const RunRow&, const RunMark& mark) {
  return "<td class=\"sym text\" data-sort=\"" + std::to_string(static_cast<int>(mark.mark)) +
         "\"><b>" + markName(mark.mark) + "</b>" +
         (mark.reasons.empty() ? "" : "<br>" + htmlText(joined(mark.reasons))) + "</td>";
}

std::string vifCell(const RunRow& row, const RunMark&) {
  return numberCell(row.maxTaskVif, 2, row.maxTaskVif ? small(row.maxInterestVifName) : "");
}

std::string pairCell(const RunRow& row, const RunMark&) {
  if (!row.strongestInterestPair) return keyed("-Infinity", "none");
  const PairCell& pair = *row.strongestInterestPair;
  return keyed(shortestText(std::abs(pair.r)),
               "r = " + fixedText(pair.r, 2) + small(pair.first + " ~ " + pair.second));
}

std::string scrubbedCell(const RunRow& row, const RunMark&) {
  return keyed(
      shortestText(row.scrubbedShare()),
      std::to_string(row.scrubbed) + small("(" + fixedText(100 * row.scrubbedShare(), 1) + " %)"));
}

// Per contrast "name (t): efficiency / confound cost", or why it is not estimable.
std::string contrastsCell(const RunRow& row, const RunMark&) {
  std::string html;
  for (const ContrastCell& contrast : row.contrasts) {
    html += "<div>" + htmlText(contrast.name + " (" + contrast.test + "): ");
    if (!contrast.estimable)
      html += "not estimable" + (contrast.reason.empty() ? "" : ", " + htmlText(contrast.reason));
    else
      html += (contrast.efficiency ? fixedText(*contrast.efficiency, 3) : "n/a") + " / " +
              (contrast.confoundCost ? fixedText(*contrast.confoundCost, 3) : "n/a");
    html += "</div>";
  }
  return textCell(html);
}

bool always(const std::vector<RunRow>&) { return true; }

template <typename Test>
bool any(const std::vector<RunRow>& rows, Test test) {
  return std::any_of(rows.begin(), rows.end(), test);
}

struct Column {
  const char* title;
  const char* type;  // "text" sorts by words, "number" and "mark" by data-sort or the number
  bool (*shown)(const std::vector<RunRow>&);
  std::string (*cell)(const RunRow&, const RunMark&);
};

// The columns in the table's order; those that no run has a value for are left out.
const Column runColumns[] = {
    {"Run", "text", always, runCell},
    {"Mark and reasons", "mark", always, markCell},
    {"Volumes", "number", always,
     [](const RunRow& row, const RunMark&) { return td(std::to_string(row.volumes)); }},
    {"Predictors", "number", always,
     [](const RunRow& row, const RunMark&) { return td(std::to_string(row.predictors)); }},
    {"Largest VIF of interest", "number", always, vifCell},
    {"Strongest pair of interest", "number", always, pairCell},
    {"Condition number", "number", always,
     [](const RunRow& row, const RunMark&) { return numberCell(row.conditionNumber, 1); }},
    {"Flagged pairs", "number", always,
     [](const RunRow& row, const RunMark&) { return td(std::to_string(row.flaggedPairs)); }},
    {"Scrubbed", "number", always, scrubbedCell},
    {"Mean FD (mm)", "number", always,
     [](const RunRow& row, const RunMark&) {
       return numberCell(row.meanFramewiseDisplacement, 3);
     }},
    {"TR (s)", "number",
     [](const std::vector<RunRow>& rows) {
       return any(rows, [](const RunRow& row) { return row.repetitionTime.has_value(); });
     },
     [](const RunRow& row, const RunMark&) {
       return row.repetitionTime ? td(shortestText(*row.repetitionTime)) : numberCell({}, 0);
     }},
    {"HRF", "text",
     [](const std::vector<RunRow>& rows) {
       return any(rows, [](const RunRow& row) { return !row.hrf.empty(); });
     },
     [](const RunRow& row, const RunMark&) { return td(htmlText(row.hrf)); }},
    {"Contrasts: efficiency / confound cost", "text",
     [](const std::vector<RunRow>& rows) {
       return any(rows, [](const RunRow& row) { return !row.contrasts.empty(); });
     },
     contrastsCell},
};

std::string header(const char* title, const char* type) {
  return std::string("<th data-type=\"") + type + "\"><button type=\"button\">" + title +
         "</button></th>";
}

}  // namespace

std::string runsTable(const std::vector<RunRow>& rows) {
  std::vector<const Column*> columns;
  for (const Column& column : runColumns)
    if (column.shown(rows)) columns.push_back(&column);
  std::string html = "<div class=\"table-box\">\n<table id=\"runs\">\n<thead><tr>";
  for (const Column* column : columns) html += header(column->title, column->type);
  html += "</tr></thead>\n<tbody>\n";
  for (const RunRow& row : rows) {
    const RunMark& mark = row.mark;
    html += std::string("<tr class=\"m-") + markName(mark.mark) + "\">";
    for (const Column* column : columns) html += column->cell(row, mark);
    html += "</tr>\n";
  }
  return html +
         "</tbody>\n</table>\n</div>\n<button id=\"more\" type=\"button\" hidden></button>\n";
}

std::string failedTable(const std::vector<FailedRun>& failed) {
  if (failed.empty()) return "<p class=\"note\">No failed run on record.</p>\n";
  std::string html = "<div class=\"table-box\">\n<table id=\"failed\">\n<thead><tr>";
  for (const char* title : {"Run", "Error", "Events", "BOLD", "Record"})
    html += header(title, "text");
  html += "</tr></thead>\n<tbody>\n";
  for (const FailedRun& run : failed) {
    const std::string record =
        run.record.empty() ? "none" : "<a href=\"" + htmlText(run.record) + "\">failure record</a>";
    html += "<tr class=\"m-failed\">" + td(htmlText(run.label)) + textCell(htmlText(run.error)) +
            pathCell(run.events) + pathCell(run.bold) + td(record) + "</tr>\n";
  }
  return html + "</tbody>\n</table>\n</div>\n";
}

std::string skippedTable(const std::vector<RunRow>& rows) {
  std::map<std::string, std::pair<long long, std::size_t>> byReason;  // events, runs
  for (const RunRow& row : rows) {
    if (!row.skippedEvents) continue;
    for (const SkippedEventCount& skipped : *row.skippedEvents) {
      auto& [events, runs] = byReason[skipped.reason];
      events += skipped.count;
      ++runs;
    }
  }
  if (byReason.empty()) return "<p class=\"note\">No event skipped.</p>\n";
  std::string html = "<div class=\"table-box\">\n<table id=\"skipped\">\n<thead><tr>";
  html += header("Reason", "text") + header("Events", "number") + header("Runs", "number");
  html += "</tr></thead>\n<tbody>\n";
  for (const auto& [reason, counts] : byReason)
    html += "<tr>" + textCell(htmlText(reason)) + td(std::to_string(counts.first)) +
            td(std::to_string(counts.second)) + "</tr>\n";
  return html + "</tbody>\n</table>\n</div>\n";
}

}  // namespace bids
