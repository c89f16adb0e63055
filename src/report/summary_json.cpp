#include "report/summary_json.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/json_text.h"
#include "contract/summary_fields.h"
#include "report/log_lines.h"
#include "sdm/design_matrix.h"

namespace report {

namespace {

namespace field = contract::summary;

void appendIndex(std::string& out, std::size_t index) {
  base::appendJsonNumber(out, static_cast<int64_t>(index));
}

// Appends `"name": ` after `before` (", " inside an object, ",\r\n  " between top-level members).
void appendKey(std::string& out, std::string_view before, const char* name) {
  out += before;
  out += '"';
  out += name;
  out += "\": ";
}

// A factor or condition number: infinite ones as the string "inf" (JSON has no infinity, and
// readers must not have to work it out from other fields), NaN as null.
void appendMeasure(std::string& out, double value) {
  if (std::isinf(value) && value > 0)
    base::appendJsonString(out, contract::infiniteNumber);
  else
    base::appendJsonNumber(out, value);
}

// Appends the member `name` of the top-level object (after a comma): an array of `count`
// items, each on a line of its own written by `item(i)`, or "[]" when there are none.
template <typename Item>
void appendArray(base::ChunkedText& output, const char* name, std::size_t count, Item item) {
  std::string& out = output.text;
  appendKey(out, ",\r\n  ", name);
  out += '[';
  for (std::size_t i = 0; i < count; ++i) {
    out += i == 0 ? "\r\n    " : ",\r\n    ";
    item(i);
    output.spillWhenFull();
  }
  out += count == 0 ? "]" : "\r\n  ]";
}

// Appends the indices of `indices` as a JSON array on one line.
void appendIndices(std::string& out, const std::vector<std::size_t>& indices) {
  out += '[';
  for (std::size_t i = 0; i < indices.size(); ++i) {
    if (i > 0) out += ", ";
    appendIndex(out, indices[i]);
  }
  out += ']';
}

void appendHeader(std::string& out, const Summary& s) {
  appendKey(out, "{\r\n  ", field::version);
  base::appendJsonNumber(out, int64_t{contract::summaryVersion});
  appendKey(out, ",\r\n  ", field::file);
  base::appendJsonString(out, s.file);
  appendKey(out, ",\r\n  ", field::nrOfPredictors);
  base::appendJsonNumber(out, s.nrOfPredictors);
  appendKey(out, ",\r\n  ", field::nrOfDataPoints);
  base::appendJsonNumber(out, s.nrOfDataPoints);
  appendKey(out, ",\r\n  ", field::firstConfoundPredictor);
  base::appendJsonNumber(out, s.firstConfoundPredictor);
}

void appendPredictor(std::string& out, const SummaryPredictor& p) {
  appendKey(out, "{", field::name);
  base::appendJsonString(out, p.name);
  appendKey(out, ", ", field::role);
  base::appendJsonString(out, correlation::roleName(p.role));
  appendKey(out, ", ", field::kind);
  base::appendJsonString(out, sdm::kindName(p.kind));
  appendKey(out, ", ", field::mean);
  base::appendJsonNumber(out, p.mean);
  appendKey(out, ", ", field::sd);
  base::appendJsonNumber(out, p.stdDev);
  appendKey(out, ", ", field::vif);
  appendMeasure(out, p.varianceInflation);
  out += '}';
}

// A correlation as the summary gives it: clamped to [-1, 1] (rounding can take the report's
// value a step past either end); NaN stays NaN.
float clamped(float r) { return std::clamp(r, -1.0f, 1.0f); }

void appendCorrelationRow(std::string& out, std::span<const float> row) {
  out += '[';
  for (std::size_t j = 0; j < row.size(); ++j) {
    if (j > 0) out += ", ";
    base::appendJsonNumber(out, clamped(row[j]));
  }
  out += ']';
}

void appendPair(std::string& out, const FlaggedPair& pair) {
  appendKey(out, "{", field::first);
  appendIndex(out, pair.first);
  appendKey(out, ", ", field::second);
  appendIndex(out, pair.second);
  appendKey(out, ", ", field::r);
  base::appendJsonNumber(out, clamped(pair.r));
  out += '}';
}

void appendNotice(std::string& out, const base::Notice& notice) {
  appendKey(out, "{", field::kind);
  base::appendJsonString(out, notice.kind == base::NoticeKind::warning ? contract::warningNotice
                                                                       : contract::noteNotice);
  appendKey(out, ", ", field::file);
  base::appendJsonString(out, notice.file);
  appendKey(out, ", ", field::text);
  base::appendJsonString(out, notice.text);
  out += '}';
}

// {"faces": 1, "houses": -1}: one row of a contrast's weights.
void appendWeights(std::string& out, const std::vector<std::pair<std::string, double>>& row) {
  out += '{';
  for (std::size_t i = 0; i < row.size(); ++i) {
    if (i > 0) out += ", ";
    base::appendJsonString(out, row[i].first);
    out += ": ";
    base::appendJsonNumber(out, row[i].second);
  }
  out += '}';
}

void appendContrast(std::string& out, const SummaryContrast& c) {
  appendKey(out, "{", field::name);
  base::appendJsonString(out, c.name);
  appendKey(out, ", ", field::test);
  base::appendJsonString(out, c.fTest ? contract::fTest : contract::tTest);
  appendKey(out, ", ", field::weights);
  out += '[';
  for (std::size_t r = 0; r < c.weights.size(); ++r) {
    if (r > 0) out += ", ";
    appendWeights(out, c.weights[r]);
  }
  out += ']';
  appendKey(out, ", ", field::estimable);
  out += c.estimable ? "true" : "false";
  const std::pair<const char*, double> numbers[] = {{field::variance, c.variance},
                                                    {field::efficiency, c.efficiency},
                                                    {field::confoundCost, c.confoundCost}};
  for (const auto& [name, value] : numbers) {
    appendKey(out, ", ", name);
    base::appendJsonNumber(out, value);
  }
  appendKey(out, ", ", field::reason);
  base::appendJsonString(out, c.reason);
  out += '}';
}

// The contrasts of `report` with their weights by the names the report shows.
std::vector<SummaryContrast> summaryContrasts(const DesignReport& report) {
  std::vector<SummaryContrast> contrasts;
  for (const diagnostics::ContrastEstimate& e : report.contrasts) {
    SummaryContrast c{e.contrast.name, e.contrast.fTest, {},      e.estimable, e.variance,
                      e.efficiency,    e.confoundCost,   e.reason};
    for (const auto& row : e.contrast.rows) {
      std::vector<std::pair<std::string, double>>& weights = c.weights.emplace_back();
      for (const diagnostics::ContrastWeight& term : row)
        weights.emplace_back(report.shownNames.at(term.predictor), term.weight);
    }
    contrasts.push_back(std::move(c));
  }
  return contrasts;
}

void appendSkipped(std::string& out, const base::SkippedLines& skipped) {
  appendKey(out, "{", field::reason);
  base::appendJsonString(out, skipped.reason);
  appendKey(out, ", ", field::count);
  base::appendJsonNumber(out, skipped.count);
  appendKey(out, ", ", field::lines);
  out += '[';
  for (std::size_t i = 0; i < skipped.lines.size(); ++i) {
    if (i > 0) out += ", ";
    base::appendJsonNumber(out, skipped.lines[i]);
  }
  out += "]}";
}

// The data point at which `values` is 1, when it is 0 at every other; else nothing.
std::optional<std::size_t> spikeAt(const std::vector<float>& values) {
  std::optional<std::size_t> spike;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (values[i] == 0.0f) continue;
    if (values[i] != 1.0f || spike) return std::nullopt;
    spike = i;
  }
  return spike;
}

}  // namespace

std::vector<std::size_t> scrubbedVolumes(const sdm::DesignMatrix& matrix) {
  std::vector<std::size_t> volumes;
  for (const sdm::Predictor& predictor : matrix.predictors) {
    if (predictor.kind != sdm::PredictorKind::scrub) continue;
    if (const auto spike = spikeAt(predictor.values)) volumes.push_back(*spike);
  }
  std::sort(volumes.begin(), volumes.end());
  volumes.erase(std::unique(volumes.begin(), volumes.end()), volumes.end());
  return volumes;
}

Summary summaryOf(const sdm::DesignMatrix& matrix, const DesignReport& report,
                  const ReportRequest& request, const RunContext& context) {
  const std::size_t k = matrix.predictors.size();
  const diagnostics::DesignDiagnostics& diagnostics = report.diagnostics;
  if (diagnostics.roles.size() != k || diagnostics.stats.size() != k ||
      diagnostics.varianceInflation.size() != k ||
      report.correlations.size() != (streamsCorrelations(report) ? 0 : k * k))
    throw std::invalid_argument("the report does not fit the design matrix");
  Summary summary;
  summary.file = matrix.fileName;
  summary.nrOfPredictors = static_cast<int64_t>(k);
  summary.nrOfDataPoints = matrix.nrOfDataPoints;
  summary.firstConfoundPredictor = matrix.firstConfoundPredictor;
  for (std::size_t i = 0; i < k; ++i) {
    const sdm::Predictor& predictor = matrix.predictors[i];
    summary.predictors.push_back({predictor.name, diagnostics.roles[i], predictor.kind,
                                  diagnostics.stats[i].mean, diagnostics.stats[i].stdDev,
                                  diagnostics.varianceInflation[i]});
  }
  summary.correlations = report.correlations;
  if (streamsCorrelations(report))
    summary.correlationsSkipped = tooManyPredictorsText(k, maxHeldPredictors);
  summary.threshold =
      request.threshold.on() ? request.threshold.value : std::numeric_limits<float>::quiet_NaN();
  summary.pairs = report.pairs;
  summary.pairCount = report.pairCount;
  summary.conditionNumber = diagnostics.conditionNumber;
  if (diagnostics.tooManyPredictors) {
    summary.diagnosticsSkipped = tooManyPredictorsText(k, diagnostics::maxDiagnosedPredictors);
  }
  summary.dependencies = diagnostics.dependencies;
  summary.notices = context.notices;
  summary.scrubbedVolumes = scrubbedVolumes(matrix);
  summary.meanFramewiseDisplacement =
      context.meanFramewiseDisplacement.value_or(std::numeric_limits<double>::quiet_NaN());
  summary.contrasts = summaryContrasts(report);
  summary.mark = contract::markWord(report.mark.mark);
  summary.reasons = report.mark.reasons;
  summary.skippedEvents = context.skippedEvents;
  summary.settings = context.settings;
  return summary;
}

void writeSummaryJson(const Summary& s, const base::TextSink& put) {
  const std::size_t k = s.predictors.size();
  if (s.correlations.size() != (s.correlationsSkipped.empty() ? k * k : 0))
    throw std::invalid_argument("correlations do not fit the predictors");
  base::ChunkedText output(put);
  std::string& out = output.text;
  appendHeader(out, s);
  appendArray(output, field::predictors, k,
              [&](std::size_t i) { appendPredictor(out, s.predictors[i]); });
  appendArray(output, field::correlations, s.correlations.empty() ? 0 : k,
              [&](std::size_t i) { appendCorrelationRow(out, s.correlations.subspan(i * k, k)); });
  if (!s.correlationsSkipped.empty()) {
    appendKey(out, ",\r\n  ", field::correlationsSkipped);
    base::appendJsonString(out, s.correlationsSkipped);
  }
  appendKey(out, ",\r\n  ", field::threshold);
  base::appendJsonNumber(out, s.threshold);
  appendArray(output, field::pairs, s.pairs.size(),
              [&](std::size_t p) { appendPair(out, s.pairs[p]); });
  appendKey(out, ",\r\n  ", field::pairCount);
  base::appendJsonNumber(out, static_cast<int64_t>(s.pairCount));
  appendKey(out, ",\r\n  ", field::conditionNumber);
  appendMeasure(out, s.conditionNumber);
  if (!s.diagnosticsSkipped.empty()) {
    appendKey(out, ",\r\n  ", field::diagnosticsSkipped);
    base::appendJsonString(out, s.diagnosticsSkipped);
  }
  appendArray(output, field::dependencies, s.dependencies.size(),
              [&](std::size_t d) { appendIndices(out, s.dependencies[d]); });
  appendArray(output, field::notices, s.notices.size(),
              [&](std::size_t n) { appendNotice(out, s.notices[n]); });
  appendKey(out, ",\r\n  ", field::scrubbedVolumes);
  appendIndices(out, s.scrubbedVolumes);
  appendKey(out, ",\r\n  ", field::meanFramewiseDisplacement);
  base::appendJsonNumber(out, s.meanFramewiseDisplacement);
  appendArray(output, field::contrasts, s.contrasts.size(),
              [&](std::size_t c) { appendContrast(out, s.contrasts[c]); });
  appendKey(out, ",\r\n  ", field::mark);
  base::appendJsonString(out, s.mark);
  appendArray(output, field::reasons, s.reasons.size(),
              [&](std::size_t r) { base::appendJsonString(out, s.reasons[r]); });
  if (s.skippedEvents) {
    appendArray(output, field::skippedEvents, s.skippedEvents->size(),
                [&](std::size_t i) { appendSkipped(out, (*s.skippedEvents)[i]); });
  }
  // Checked to be one JSON object in ASCII on one line when the task read it.
  if (!s.settings.empty()) {
    appendKey(out, ",\r\n  ", field::settings);
    out += s.settings;
  }
  out += "\r\n}\r\n";
  output.flush();
}

std::string summaryJson(const Summary& s) {
  std::string all;
  writeSummaryJson(s, [&](std::string_view piece) { all += piece; });
  return all;
}

}  // namespace report
