#include "report/summary_json.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/json_text.h"
#include "report/log_lines.h"
#include "sdm/design_matrix.h"

namespace report {

namespace {

void appendIndex(std::string& out, std::size_t index) {
  base::appendJsonNumber(out, static_cast<int64_t>(index));
}

// The text written so far, handed on in pieces of about a mebibyte: a summary of thousands of
// predictors is never held whole.
class JsonOutput {
 public:
  explicit JsonOutput(const JsonSink& put) : put_(put) {}
  std::string text;
  void spillWhenFull() {
    if (text.size() >= (std::size_t{1} << 20)) flush();
  }
  void flush() {
    put_(text);
    text.clear();
  }

 private:
  const JsonSink& put_;
};

// Appends the member `name` of the top-level object (after a comma): an array of `count`
// items, each on a line of its own written by `item(i)`, or "[]" when there are none.
template <typename Item>
void appendArray(JsonOutput& output, const char* name, std::size_t count, Item item) {
  std::string& out = output.text;
  out += ",\r\n  \"";
  out += name;
  out += "\": [";
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
  out += "{\r\n  \"version\": ";
  base::appendJsonNumber(out, int64_t{summaryVersion});
  out += ",\r\n  \"file\": ";
  base::appendJsonString(out, s.file);
  out += ",\r\n  \"nrOfPredictors\": ";
  base::appendJsonNumber(out, s.nrOfPredictors);
  out += ",\r\n  \"nrOfDataPoints\": ";
  base::appendJsonNumber(out, s.nrOfDataPoints);
  out += ",\r\n  \"firstConfoundPredictor\": ";
  base::appendJsonNumber(out, s.firstConfoundPredictor);
}

void appendPredictor(std::string& out, const SummaryPredictor& p) {
  out += "{\"name\": ";
  base::appendJsonString(out, p.name);
  out += ", \"role\": ";
  base::appendJsonString(out, correlation::roleName(p.role));
  out += ", \"mean\": ";
  base::appendJsonNumber(out, p.mean);
  out += ", \"sd\": ";
  base::appendJsonNumber(out, p.stdDev);
  out += ", \"vif\": ";
  base::appendJsonNumber(out, p.varianceInflation);
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
  out += "{\"first\": ";
  appendIndex(out, pair.first);
  out += ", \"second\": ";
  appendIndex(out, pair.second);
  out += ", \"r\": ";
  base::appendJsonNumber(out, clamped(pair.r));
  out += '}';
}

bool isScrubName(std::string_view name) {
  constexpr std::string_view prefix = "scrub_";
  if (!name.starts_with(prefix) || name.size() == prefix.size()) return false;
  name.remove_prefix(prefix.size());
  return std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
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
    if (!isScrubName(predictor.name)) continue;
    if (const auto spike = spikeAt(predictor.values)) volumes.push_back(*spike);
  }
  std::sort(volumes.begin(), volumes.end());
  volumes.erase(std::unique(volumes.begin(), volumes.end()), volumes.end());
  return volumes;
}

Summary summaryOf(const sdm::DesignMatrix& matrix, const DesignReport& report,
                  const ReportRequest& request) {
  const std::size_t k = matrix.predictors.size();
  const diagnostics::DesignDiagnostics& diagnostics = report.diagnostics;
  if (diagnostics.roles.size() != k || diagnostics.stats.size() != k ||
      diagnostics.varianceInflation.size() != k || report.correlations.size() != k * k)
    throw std::invalid_argument("the report does not fit the design matrix");
  Summary summary;
  summary.file = matrix.fileName;
  summary.nrOfPredictors = static_cast<int64_t>(k);
  summary.nrOfDataPoints = matrix.nrOfDataPoints;
  summary.firstConfoundPredictor = matrix.firstConfoundPredictor;
  for (std::size_t i = 0; i < k; ++i) {
    summary.predictors.push_back({matrix.predictors[i].name, diagnostics.roles[i],
                                  diagnostics.stats[i].mean, diagnostics.stats[i].stdDev,
                                  diagnostics.varianceInflation[i]});
  }
  summary.correlations = report.correlations;
  summary.threshold =
      request.threshold.on() ? request.threshold.value : std::numeric_limits<float>::quiet_NaN();
  summary.pairs = report.pairs;
  summary.conditionNumber = diagnostics.conditionNumber;
  if (diagnostics.tooManyPredictors) {
    summary.diagnosticsSkipped = tooManyPredictorsText(k, diagnostics::maxDiagnosedPredictors);
  }
  summary.dependencies = diagnostics.dependencies;
  for (const base::Notice& warning : base::warningsOf(request.readerNotices))
    summary.warnings.push_back(base::noticeText(warning));
  summary.scrubbedVolumes = scrubbedVolumes(matrix);
  summary.meanFramewiseDisplacement =
      request.meanFramewiseDisplacement.value_or(std::numeric_limits<double>::quiet_NaN());
  return summary;
}

void writeSummaryJson(const Summary& s, const JsonSink& put) {
  const std::size_t k = s.predictors.size();
  if (s.correlations.size() != k * k)
    throw std::invalid_argument("correlations do not fit the predictors");
  JsonOutput output(put);
  std::string& out = output.text;
  appendHeader(out, s);
  appendArray(output, "predictors", k,
              [&](std::size_t i) { appendPredictor(out, s.predictors[i]); });
  appendArray(output, "correlations", k,
              [&](std::size_t i) { appendCorrelationRow(out, s.correlations.subspan(i * k, k)); });
  out += ",\r\n  \"threshold\": ";
  base::appendJsonNumber(out, s.threshold);
  appendArray(output, "pairs", s.pairs.size(), [&](std::size_t p) { appendPair(out, s.pairs[p]); });
  out += ",\r\n  \"conditionNumber\": ";
  base::appendJsonNumber(out, s.conditionNumber);
  if (!s.diagnosticsSkipped.empty()) {
    out += ",\r\n  \"diagnosticsSkipped\": ";
    base::appendJsonString(out, s.diagnosticsSkipped);
  }
  appendArray(output, "dependencies", s.dependencies.size(),
              [&](std::size_t d) { appendIndices(out, s.dependencies[d]); });
  appendArray(output, "warnings", s.warnings.size(),
              [&](std::size_t w) { base::appendJsonString(out, s.warnings[w]); });
  out += ",\r\n  \"scrubbedVolumes\": ";
  appendIndices(out, s.scrubbedVolumes);
  out += ",\r\n  \"meanFramewiseDisplacement\": ";
  base::appendJsonNumber(out, s.meanFramewiseDisplacement);
  out += "\r\n}\r\n";
  output.flush();
}

std::string summaryJson(const Summary& s) {
  std::string all;
  writeSummaryJson(s, [&](std::string_view piece) { all += piece; });
  return all;
}

}  // namespace report
