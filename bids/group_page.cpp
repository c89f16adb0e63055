// The group report page (group_report.html): one self-contained file, inline CSS, SVG and
// JavaScript, nothing loaded from anywhere; its links are relative to the page's folder. The
// counts and the tables read without the script; the plots' points, the filters and the sorting
// come from the script and the page's data, a JSON block that holds each value once.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

#include "group_page.h"
#include "text_files.h"

namespace bids {

namespace {

std::string tile(const std::string& cssClass, std::size_t count, const std::string& what) {
  return "<li" + (cssClass.empty() ? "" : " class=\"" + cssClass + "\"") + "><b>" +
         std::to_string(count) + "</b> " + what + "</li>\n";
}

std::string counts(const std::vector<RunRow>& rows, const std::vector<FailedRun>& failed) {
  const MarkCounts marks = countMarks(rows);
  const auto designOnly =
      std::count_if(rows.begin(), rows.end(), [](const RunRow& row) { return row.designOnly; });
  return "<ul class=\"counts\">\n" +
         tile("", rows.size(), "of " + std::to_string(rows.size() + failed.size()) + " runs") +
         tile("sym m-ok", rows.size() - marks.amber - marks.red, "ok") +
         tile("sym m-amber", marks.amber, "amber") + tile("sym m-red", marks.red, "red") +
         tile("m-failed", failed.size(), "failed") +
         tile("", static_cast<std::size_t>(designOnly), "design only") + "</ul>\n";
}

// A select of the values one entity takes in the runs, "all" first; none when no run has one.
std::string entitySelect(const char* id, const char* title, const char* prefix,
                         const std::set<std::string>& values) {
  if (values.empty()) return "";
  std::string html =
      std::string("<label>") + title + " <select id=\"" + id + "\"><option value=\"\">all</option>";
  for (const std::string& value : values)
    html += "<option value=\"" + htmlText(value) + "\">" + prefix + htmlText(value) + "</option>";
  return html + "</select></label>\n";
}

template <typename Run>
void collect(const std::vector<Run>& runs, std::set<std::string> (&values)[3]) {
  for (const Run& run : runs) {
    const std::string* entity[] = {&run.subject, &run.session, &run.task};
    for (int i = 0; i < 3; ++i)
      if (!entity[i]->empty()) values[i].insert(*entity[i]);
  }
}

// The filters: hidden until the script shows them, as they do nothing without it.
std::string filters(const std::vector<RunRow>& rows, const std::vector<FailedRun>& failed) {
  std::set<std::string> values[3];
  collect(rows, values);
  collect(failed, values);
  return "<form id=\"filters\" hidden>\n<label>Mark <select id=\"f-mark\"><option value=\"\">all"
         "</option><option>ok</option><option>amber</option><option>red</option><option>failed"
         "</option></select></label>\n" +
         entitySelect("f-sub", "Subject", "sub-", values[0]) +
         entitySelect("f-ses", "Session", "ses-", values[1]) +
         entitySelect("f-task", "Task", "task-", values[2]) +
         "<label>Search <input id=\"f-text\" type=\"search\" placeholder=\"run or reason\" "
         "autocomplete=\"off\"></label>\n<output id=\"shown\"></output>\n</form>\n";
}

std::string jsonValue(const std::optional<double>& value, int decimals) {
  if (!value) return "null";
  return std::isinf(*value) ? "\"inf\"" : fixedText(*value, decimals);
}

std::string entities(const std::string& subject, const std::string& session,
                     const std::string& task) {
  return jsonText(subject) + ", " + jsonText(session) + ", " + jsonText(task);
}

// The page's data: the strips' geometry and scales, per run its mark, subject, session, task
// and a value per measure (in the table's order), per failed run its subject, session, task.
std::string pageData(const std::vector<RunRow>& rows, const std::vector<FailedRun>& failed,
                     const std::vector<Measure>& measures) {
  std::string json = "{\"strip\": " + stripGeometry() + ",\n\"measures\": [";
  for (const Measure& m : measures)
    json += std::string(&m == measures.data() ? "" : ",") + "\n{\"title\": " + jsonText(m.title) +
            ", \"unit\": " + jsonText(m.unit) + ", \"decimals\": " + std::to_string(m.decimals) +
            ", \"log\": " + (m.logScale ? "true" : "false") + ", \"low\": " + shortestText(m.low) +
            ", \"high\": " + shortestText(m.high) + "}";
  json += "],\n\"runs\": [";
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const RunRow& row = rows[i];
    json += std::string(i == 0 ? "" : ",") + "\n[\"" + markName(row.mark.mark) + "\", " +
            entities(row.subject, row.session, row.task) + ", [";
    for (const Measure& m : measures)
      json += (&m == measures.data() ? "" : ", ") + jsonValue(m.values[i], m.decimals);
    json += "]]";
  }
  json += "],\n\"failed\": [";
  for (const FailedRun& run : failed)
    json += std::string(&run == failed.data() ? "" : ",") + "\n[" +
            entities(run.subject, run.session, run.task) + "]";
  return json + "]}\n";
}

constexpr const char* markNote =
    "Marked red: a contrast that cannot be estimated, a task predictor&#39;s VIF of 10 or more, "
    "a contrast&#39;s confound cost of 2 or more, or more than 20 % of the volumes scrubbed; "
    "amber: a task predictor&#39;s VIF of 5 or more, a confound cost of 1.5 or more, or a "
    "flagged pair with a task predictor (the default limits). The condition number of all the "
    "regressors together marks no run.";

std::string plots(const std::vector<Measure>& measures) {
  std::string html =
      "<section id=\"plots\">\n<h2>The runs, measure by measure</h2>\n<p class=\"note\">A point "
      "per run: <span class=\"sym m-ok\">ok</span>, <span class=\"sym m-amber\">amber</span>, "
      "<span class=\"sym m-red\">red</span>; dashed lines are the limits of amber and red. "
      "Point at a run to see its value; select it to open its page.</p>\n<noscript><p "
      "class=\"note\">The points need JavaScript; the tables below do not.</p></noscript>\n";
  for (std::size_t i = 0; i < measures.size(); ++i) html += stripFrame(measures[i], i);
  return html + "</section>\n";
}

}  // namespace

std::string htmlText(std::string_view text) {
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

std::string jsonText(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || c == '<' || c == '>' || c == '&') {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(byte));
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string groupPage(const std::vector<RunRow>& rows, const std::vector<FailedRun>& failed) {
  const std::vector<Measure> measures = measuresOf(rows);
  std::string html =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      "<title>Brindle group report</title>\n<style>";
  html += pageStyle;
  // Without the script every run stays in the table.
  html +=
      "</style>\n<noscript><style>#runs:not(.live) tbody tr:nth-child(n+251) { display: "
      "table-row; }</style></noscript>\n</head>\n<body>\n<header>\n<h1>Brindle group "
      "report</h1>\n" +
      counts(rows, failed) + "<p class=\"note\">" + markNote + "</p>\n</header>\n";
  html += filters(rows, failed) + plots(measures);
  html +=
      "<section>\n<h2>Runs</h2>\n<p class=\"note\">Select a column heading to sort by it, a "
      "run to open its page.</p>\n" +
      runsTable(rows) + "</section>\n";
  html += "<section>\n<h2>Failed runs</h2>\n" + failedTable(failed) + "</section>\n";
  html += "<section>\n<h2>Events skipped, by reason</h2>\n" + skippedTable(rows) + "</section>\n";
  html += "<div id=\"tip\" role=\"tooltip\" hidden></div>\n";
  html += "<script type=\"application/json\" id=\"data\">" + pageData(rows, failed, measures) +
          "</script>\n<script>";
  html += pageScript;
  return html + "</script>\n</body>\n</html>\n";
}

}  // namespace bids
