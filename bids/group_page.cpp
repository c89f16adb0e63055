// The group report page (group_report.html): one self-contained file, inline CSS, inline SVG and
// inline JavaScript, nothing loaded from anywhere; links to each run's pictures are relative.

#include <cmath>

#include "group.h"
#include "text_files.h"

namespace bids {

namespace {

constexpr const char* style = R"CSS(
body { font: 14px/1.45 system-ui, sans-serif; margin: 24px; color: #1d1d1f; }
h1 { font-size: 22px; margin: 0 0 4px; }
h2 { font-size: 17px; margin: 24px 0 8px; }
p.note { color: #555; margin: 4px 0; }
table { border-collapse: collapse; font-variant-numeric: tabular-nums; }
th, td { border-bottom: 1px solid #ddd; padding: 4px 8px; text-align: right; white-space: nowrap; }
th[data-type="text"], th[data-type="mark"], td.text { text-align: left; }
th button { font: inherit; font-weight: 600; border: 0; background: none; cursor: pointer; padding: 0; }
th[aria-sort="ascending"] button::after { content: " \25B2"; }
th[aria-sort="descending"] button::after { content: " \25BC"; }
tr.mark-amber { background: #fff3cd; }
tr.mark-red { background: #f8d7da; }
tr.mark-amber td.mark { color: #8a6100; font-weight: 600; }
tr.mark-red td.mark { color: #a21b1b; font-weight: 600; }
svg text { font: 11px system-ui, sans-serif; fill: #333; }
.bar-ok { fill: #4a7fb5; } .bar-amber { fill: #e0a000; } .bar-red { fill: #c62828; }
.limit-amber { stroke: #e0a000; stroke-dasharray: 5 3; } .limit-red { stroke: #c62828; stroke-dasharray: 5 3; }
.grid { stroke: #e5e5e5; } .axis { stroke: #888; }
)CSS";

constexpr const char* script = R"JS(
(function () {
  const table = document.getElementById('runs');
  const body = table.tBodies[0];
  const headers = Array.from(table.tHead.rows[0].cells);
  function key(row, column, numeric) {
    const cell = row.cells[column];
    const text = cell.dataset.sort !== undefined ? cell.dataset.sort : cell.textContent;
    return numeric ? Number(text) : text;
  }
  function sortBy(column) {
    const header = headers[column];
    const numeric = header.dataset.type !== 'text';
    const ascending = header.getAttribute('aria-sort') !== 'ascending';
    const rows = Array.from(body.rows);
    rows.sort(function (a, b) {
      const x = key(a, column, numeric), y = key(b, column, numeric);
      const order = numeric ? (x < y ? -1 : x > y ? 1 : 0)
                            : String(x).localeCompare(String(y), 'en', { numeric: true });
      return ascending ? order : -order;
    });
    headers.forEach(function (h) { h.removeAttribute('aria-sort'); });
    header.setAttribute('aria-sort', ascending ? 'ascending' : 'descending');
    rows.forEach(function (row) { body.appendChild(row); });
  }
  headers.forEach(function (header, column) {
    header.querySelector('button').addEventListener('click', function () { sortBy(column); });
  });
})();
)JS";

std::string escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string numberCell(const std::optional<double>& value, int decimals) {
  if (!value) return "<td data-sort=\"-Infinity\">n/a</td>";
  const std::string sortKey = std::isinf(*value) ? "Infinity" : shortestText(*value);
  return "<td data-sort=\"" + sortKey + "\">" + fixedText(*value, decimals) + "</td>";
}

std::string wholeCell(long long value) { return "<td>" + std::to_string(value) + "</td>"; }

std::string textCell(const std::string& value) {
  return "<td class=\"text\">" + (value.empty() ? std::string("n/a") : escaped(value)) + "</td>";
}

std::string tableRow(const RunRow& row, std::size_t index) {
  const RunMark mark = markRun(row);
  const std::string reasons = joinedReasons(mark);
  std::string html = "<tr id=\"run-" + std::to_string(index + 1) + "\" class=\"mark-" +
                     markName(mark.mark) + "\">";
  html += textCell(row.subject) + textCell(row.session) + textCell(row.task) +
          textCell(row.acquisition) + textCell(row.run);
  html += wholeCell(row.volumes) + wholeCell(row.predictors);
  html += numberCell(row.maxTaskVif, 2) + numberCell(row.conditionNumber, 1);
  html += wholeCell(row.flaggedPairs) + wholeCell(row.scrubbed);
  html += "<td data-sort=\"" + shortestText(row.scrubbedShare()) + "\">" +
          fixedText(100 * row.scrubbedShare(), 1) + " %</td>";
  html += numberCell(row.meanFramewiseDisplacement, 3);
  html += "<td class=\"mark text\" data-sort=\"" + std::to_string(static_cast<int>(mark.mark)) +
          "\">" + markName(mark.mark) + (reasons.empty() ? "" : ": " + escaped(reasons)) + "</td>";
  html += "<td class=\"text\"><a href=\"" + escaped(row.heatmap()) + "\">heatmap</a> <a href=\"" +
          escaped(row.designPicture()) + "\">design</a></td></tr>\n";
  return html;
}

std::string table(const std::vector<RunRow>& rows) {
  const std::pair<const char*, const char*> headers[] = {{"Subject", "text"},
                                                         {"Session", "text"},
                                                         {"Task", "text"},
                                                         {"Acq.", "text"},
                                                         {"Run", "text"},
                                                         {"Volumes", "number"},
                                                         {"Predictors", "number"},
                                                         {"Task VIF", "number"},
                                                         {"Cond. number", "number"},
                                                         {"Flagged pairs", "number"},
                                                         {"Scrubbed", "number"},
                                                         {"Scrubbed share", "number"},
                                                         {"Mean FD (mm)", "number"},
                                                         {"Mark", "mark"},
                                                         {"Pictures", "text"}};
  std::string html = "<table id=\"runs\">\n<thead><tr>";
  for (const auto& [title, type] : headers)
    html += std::string("<th data-type=\"") + type + "\"><button type=\"button\">" + title +
            "</button></th>";
  html += "</tr></thead>\n<tbody>\n";
  for (std::size_t i = 0; i < rows.size(); ++i) html += tableRow(rows[i], i);
  return html + "</tbody>\n</table>\n";
}

std::string counts(const std::vector<RunRow>& rows) {
  const MarkCounts marks = countMarks(rows);
  return std::to_string(rows.size()) + " runs: " + std::to_string(marks.red) + " red, " +
         std::to_string(marks.amber) + " amber.";
}

}  // namespace

std::string groupPage(const std::vector<RunRow>& rows) {
  std::string html =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      "<title>Brindle group report</title>\n<style>";
  html += style;
  html += "</style>\n</head>\n<body>\n<h1>Brindle group report</h1>\n<p class=\"note\">" +
          counts(rows) +
          " Marked amber: a task predictor's VIF of 5 or more, or a condition number of 30 or "
          "more; red: a task predictor's VIF of 10 or more, or more than 20 % of the volumes "
          "scrubbed.</p>\n";
  html += "<h2 id=\"plot-title\">Largest VIF among the task predictors, per run</h2>\n";
  html += vifPlot(rows);
  html += "<h2>Runs</h2>\n<p class=\"note\">Select a column heading to sort by it.</p>\n";
  html += table(rows);
  html += "<script>";
  html += script;
  html += "</script>\n</body>\n</html>\n";
  return html;
}

}  // namespace bids
