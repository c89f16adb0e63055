#include "report/run_page.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/number_text.h"
#include "base/paths.h"
#include "heatmap/xml_text.h"
#include "report/log_lines.h"
#include "report/page_settings.h"

namespace report {

namespace {

constexpr const char* pageStyle[] = {
    "body{font-family:\"DejaVu Sans\",\"Segoe UI\",Arial,sans-serif;color:#1d2530;margin:0 auto;"
    "max-width:1280px;padding:12px 16px}",
    "h1{font-size:22px;margin:8px 0;overflow-wrap:anywhere}h2{font-size:17px;margin:20px 0 6px}",
    "table{border-collapse:collapse;margin:4px 0}",
    "th,td{border:1px solid #d0d5dc;padding:3px 8px;text-align:left;vertical-align:top;"
    "overflow-wrap:anywhere}",
    "th{background:#eef1f5}td.n{text-align:right;font-variant-numeric:tabular-nums}",
    ".box{max-height:420px;overflow:auto;max-width:100%;display:inline-block}",
    ".mark{display:inline-block;padding:1px 10px;border-radius:10px;color:#fff;font-weight:bold}",
    ".ok{background:#2e7d32}.amber{background:#a86400}.red{background:#b2182b}",
    "td.high{color:#b2182b;font-weight:bold}td.raised{color:#a86400;font-weight:bold}",
    ".warning{color:#8a1c1c}.quiet{color:#5b6675}.settings td:first-child{white-space:nowrap}",
    ".picture{margin:8px 0;max-width:100%}.picture svg{height:auto}",
};

// Text as HTML character data, ASCII.
std::string esc(std::string_view text) {
  std::string out;
  heatmap::appendXmlText(out, text);
  return out;
}

// A factor, an efficiency or a cost as the page writes it: four significant digits, "inf", or
// "n/a" for none.
std::string measure(double value) {
  if (std::isnan(value)) return "n/a";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  return significantText(value, 4);
}

std::string fixed2(double value) {
  std::string text;
  base::appendFixed(text, value, 2);
  return text;
}

// Writes the page line by line, each with the page's CRLF.
class Page {
 public:
  explicit Page(const base::TextSink& put) : out_(put) {}
  Page& operator<<(std::string_view text) {
    out_.text += text;
    return *this;
  }
  void end() {
    out_.text += "\r\n";
    out_.spillWhenFull();
  }
  void line(std::string_view text) { (*this << text).end(); }
  void flush() { out_.flush(); }
  // A table's header row from `names`.
  void head(std::initializer_list<std::string_view> names) {
    *this << "<tr>";
    for (const std::string_view name : names) *this << "<th>" << name << "</th>";
    line("</tr>");
  }

 private:
  base::ChunkedText out_;
};

void writeTop(Page& page, const RunPage& run) {
  const Summary& s = run.summary;
  const std::string name = esc(base::baseName(s.file));
  page.line("<!DOCTYPE html>");
  page.line("<html lang=\"en\">");
  page.line("<head>");
  page.line("<meta charset=\"utf-8\">");
  page.line("<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">");
  page << "<title>" << name << " - Brindle run page</title>";
  page.end();
  page.line("<style>");
  for (const char* rule : pageStyle) page.line(rule);
  page.line("</style>");
  page.line("</head>");
  page.line("<body>");
  page << "<h1>" << name << "</h1>";
  page.end();
  page << "<p>" << std::to_string(s.nrOfPredictors) << " predictors, "
       << std::to_string(s.nrOfDataPoints) << " data points. Mark: <span class=\"mark "
       << esc(s.mark) << "\">" << esc(s.mark) << "</span></p>";
  page.end();
}

void writeMark(Page& page, const Summary& s) {
  page.line("<h2 id=\"mark\">Mark and reasons</h2>");
  if (s.reasons.empty()) {
    page.line("<p>Marked " + esc(s.mark) + ": nothing calls for a closer look.</p>");
    return;
  }
  page.line("<p>Marked " + esc(s.mark) + " for these reasons:</p>");
  page.line("<ul>");
  for (const std::string& reason : s.reasons) page.line("<li>" + esc(reason) + "</li>");
  page.line("</ul>");
}

void writeSettings(Page& page, const Summary& s) {
  page.line("<h2 id=\"settings\">Settings</h2>");
  const std::vector<std::pair<std::string, std::string>> members = settingsMembers(s.settings);
  if (members.empty()) {
    page.line("<p class=\"quiet\">No settings were recorded for this run.</p>");
    return;
  }
  page.line("<table class=\"settings\">");
  page.head({"Setting", "Value"});
  for (const auto& [name, value] : members)
    page.line("<tr><td>" + esc(name) + "</td><td>" + esc(value) + "</td></tr>");
  page.line("</table>");
}

// "faces - houses" for the weights of one row: each name with its weight.
std::string weightsText(const std::vector<std::pair<std::string, double>>& row) {
  std::string text;
  for (const auto& [name, weight] : row) {
    if (!text.empty()) text += ", ";
    text += name + " " + base::shortestText(weight);
  }
  return text;
}

void writeContrasts(Page& page, const Summary& s) {
  page.line("<h2 id=\"contrasts\">Contrasts</h2>");
  if (s.contrasts.empty()) {
    page.line("<p class=\"quiet\">No contrast was tested.</p>");
    return;
  }
  page.line("<table>");
  page.head({"Contrast", "Test", "Weights", "Efficiency", "Confound cost", "Estimable"});
  for (const SummaryContrast& c : s.contrasts) {
    std::string weights;
    for (const auto& row : c.weights) weights += (weights.empty() ? "" : "; ") + weightsText(row);
    page << "<tr><td>" << esc(c.name) << "</td><td>" << (c.fTest ? "F" : "t") << "</td><td>"
         << esc(weights) << "</td><td class=\"n\">" << measure(c.efficiency)
         << "</td><td class=\"n\">" << measure(c.confoundCost) << "</td><td>"
         << (c.estimable ? "yes" : "<span class=\"warning\">no: " + esc(c.reason) + "</span>")
         << "</td></tr>";
    page.end();
  }
  page.line("</table>");
}

bool ofInterest(const Summary& s, std::size_t i) {
  return s.predictors[i].role == correlation::PredictorRole::interest;
}

void writePairs(Page& page, const Summary& s) {
  page.line("<h2 id=\"pairs\">Pairs with a predictor of interest</h2>");
  if (std::isnan(s.threshold)) {
    page.line("<p class=\"quiet\">No correlation threshold was set: no pair was flagged.</p>");
    return;
  }
  std::vector<FlaggedPair> interest;
  for (const FlaggedPair& pair : s.pairs)
    if (ofInterest(s, pair.first) || ofInterest(s, pair.second)) interest.push_back(pair);
  page << "<p>" << std::to_string(s.pairCount)
       << (s.pairCount == 1 ? " pair of predictors reaches" : " pairs of predictors reach")
       << " |r| &#8805; " << fixed2(s.threshold)
       << (s.pairs.size() < s.pairCount
               ? " (the summary lists the first " + std::to_string(s.pairs.size()) + ")"
               : "")
       << ". With a predictor of interest: " << std::to_string(interest.size()) << ".</p>";
  page.end();
  if (interest.empty()) return;
  page.line("<div class=\"box\"><table>");
  page.head({"Predictor", "With", "r"});
  for (const FlaggedPair& pair : interest) {
    page << "<tr><td>" << esc(s.predictors[pair.first].name) << "</td><td>"
         << esc(s.predictors[pair.second].name) << "</td><td class=\"n\">"
         << fixed2(static_cast<double>(pair.r)) << "</td></tr>";
    page.end();
  }
  page.line("</table></div>");
}

void writeFactors(Page& page, const RunPage& run) {
  const Summary& s = run.summary;
  page.line("<h2 id=\"vif\">Variance inflation factors</h2>");
  if (!s.diagnosticsSkipped.empty()) {
    page.line("<p class=\"quiet\">Not computed: " + esc(s.diagnosticsSkipped) + ".</p>");
    return;
  }
  page << "<p>Predictors of interest from " << base::shortestText(run.limits.amberVif)
       << " on are amber, from " << base::shortestText(run.limits.redVif)
       << " on red; condition number of all the regressors " << measure(s.conditionNumber)
       << ".</p>";
  page.end();
  page.line("<div class=\"box\"><table>");
  page.head({"Predictor", "Kind", "VIF"});
  for (std::size_t i = 0; i < s.predictors.size(); ++i) {
    const SummaryPredictor& p = s.predictors[i];
    const double vif = p.varianceInflation;
    const char* level = !ofInterest(s, i)            ? ""
                        : vif >= run.limits.redVif   ? " class=\"n high\""
                        : vif >= run.limits.amberVif ? " class=\"n raised\""
                                                     : "";
    page << "<tr><td>" << esc(p.name) << "</td><td>" << sdm::kindName(p.kind) << "</td><td"
         << (*level != '\0' ? level : " class=\"n\"") << ">" << measure(vif) << "</td></tr>";
    page.end();
  }
  page.line("</table></div>");
}

void writeSkippedEvents(Page& page, const Summary& s) {
  page.line("<h2 id=\"events\">Skipped events</h2>");
  if (!s.skippedEvents) {
    page.line("<p class=\"quiet\">The design was not made from events files here.</p>");
    return;
  }
  if (s.skippedEvents->empty()) {
    page.line("<p>No event was skipped.</p>");
    return;
  }
  page.line("<table>");
  page.head({"Reason", "Events", "Lines"});
  for (const base::SkippedLines& skipped : *s.skippedEvents) {
    std::string lines;
    for (const int64_t line : skipped.lines)
      lines += (lines.empty() ? "" : ", ") + std::to_string(line);
    if (static_cast<int64_t>(skipped.lines.size()) < skipped.count) lines += ", ...";
    page.line("<tr><td>" + esc(skipped.reason) + "</td><td class=\"n\">" +
              std::to_string(skipped.count) + "</td><td>" + lines + "</td></tr>");
  }
  page.line("</table>");
}

void writeNotices(Page& page, const Summary& s) {
  page.line("<h2 id=\"notices\">Repairs and notes</h2>");
  if (s.notices.empty()) {
    page.line("<p>Nothing was repaired or noted in the files behind the design.</p>");
    return;
  }
  page.line("<ul>");
  for (const base::Notice& notice : s.notices) {
    const bool warning = notice.kind == base::NoticeKind::warning;
    page.line(std::string("<li") + (warning ? " class=\"warning\"" : "") + ">" +
              esc(base::noticeText(notice)) + "</li>");
  }
  page.line("</ul>");
}

void writePicture(Page& page, const base::TextSink& put, const char* id,
                  const PictureRenderer& render) {
  page << "<div class=\"picture\">";
  page.end();
  page.flush();
  InlineSvg svg(id, put);
  render([&svg](std::string_view piece) { svg(piece); });
  svg.flush();
  page.line("</div>");
}

void writePictures(Page& page, const RunPage& run, const base::TextSink& put) {
  page.line("<h2 id=\"pictures\">Pictures</h2>");
  if (!run.heatmap) {
    page.line("<p class=\"quiet\">" + esc(run.picturesSkipped) + "</p>");
    return;
  }
  writePicture(page, put, "heatmap", run.heatmap);
  writePicture(page, put, "design", run.designPicture);
}

void writeLinks(Page& page, const RunPage& run) {
  page.line("<h2 id=\"files\">Files</h2>");
  page.line("<ul>");
  const std::pair<const char*, const std::string*> links[] = {
      {"The design matrix (SDM)", &run.sdmLink},
      {"The correlation report (CSV)", &run.csvLink},
      {"The summary (JSON)", &run.summaryLink}};
  for (const auto& [label, href] : links) {
    if (!href->empty())
      page.line("<li><a href=\"" + esc(*href) + "\">" + label +
                "</a>: " + esc(base::baseName(*href)) + "</li>");
  }
  page.line("</ul>");
}

}  // namespace

void writeRunPage(const RunPage& run, const base::TextSink& put) {
  Page page(put);
  writeTop(page, run);
  writeMark(page, run.summary);
  writeSettings(page, run.summary);
  writeContrasts(page, run.summary);
  writePairs(page, run.summary);
  writeFactors(page, run);
  writeSkippedEvents(page, run.summary);
  writeNotices(page, run.summary);
  writePictures(page, run, put);
  writeLinks(page, run);
  page.line("</body>");
  page.line("</html>");
  page.flush();
}

void InlineSvg::operator()(std::string_view piece) {
  pending_ += piece;
  std::size_t start = 0;
  for (auto end = pending_.find('\n', start); end != std::string::npos;
       end = pending_.find('\n', start)) {
    line(pending_.substr(start, end + 1 - start));
    start = end + 1;
  }
  pending_.erase(0, start);
}

void InlineSvg::flush() {
  if (!pending_.empty()) line(std::exchange(pending_, {}));
}

namespace {

// `text` with every `from` replaced by `to`.
std::string replaced(std::string text, std::string_view from, const std::string& to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// ' style="max-width:Wpx"' for an svg element whose viewBox is W wide: it shrinks with the page
// but never grows past its own size.
std::string widthLimit(const std::string& svg) {
  const std::string_view key = "viewBox=\"0 0 ";
  const auto at = svg.find(key);
  if (at == std::string::npos) return {};
  const auto end = svg.find(' ', at + key.size());
  if (end == std::string::npos) return {};
  return " style=\"max-width:" + svg.substr(at + key.size(), end - at - key.size()) + "px\"";
}

// A style rule "a,b{...}" with each selector scoped to the element `id`; "svg" is the element.
std::string scopedRule(const std::string& rule, const std::string& id) {
  const auto brace = rule.find('{');
  if (brace == std::string::npos) return rule;
  std::string scoped;
  std::size_t start = 0;
  while (start <= brace) {
    auto comma = rule.find(',', start);
    if (comma == std::string::npos || comma > brace) comma = brace;
    const std::string selector = rule.substr(start, comma - start);
    if (!scoped.empty()) scoped += ',';
    scoped += selector == "svg" ? "#" + id : "#" + id + " " + selector;
    start = comma + 1;
  }
  return scoped + rule.substr(brace);
}

}  // namespace

void InlineSvg::line(std::string text) {
  if (text.starts_with("<?xml")) return;
  if (text.starts_with("</style>")) inStyle_ = false;
  if (inStyle_) {
    text = scopedRule(text, id_);
  } else {
    text = replaced(std::move(text), "id=\"", "id=\"" + id_ + "-");
    text = replaced(std::move(text), "url(#", "url(#" + id_ + "-");
    if (!opened_ && text.starts_with("<svg ")) {
      text.insert(4, " id=\"" + id_ + "\"" + widthLimit(text));
      opened_ = true;
    }
  }
  if (text.starts_with("<style>")) inStyle_ = true;
  put_(text);
}

}  // namespace report
