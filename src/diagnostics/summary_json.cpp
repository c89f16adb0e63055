#include "diagnostics/summary_json.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "base/paths.h"
#include "correlation/covered_predictors.h"
#include "correlation/report.h"
#include "diagnostics/json_text.h"
#include "sdm/design_matrix.h"

namespace {

bool listedBefore(const SummaryPair& a, const SummaryPair& b) {
  const float strengthA = std::fabs(a.r), strengthB = std::fabs(b.r);
  if (strengthA != strengthB) return strengthA > strengthB;
  if (a.first != b.first) return a.first < b.first;
  return a.second < b.second;
}

bool correlates(PredictorRole role) {
  return role == PredictorRole::interest || role == PredictorRole::confound;
}

void appendIndex(std::string& out, std::size_t index) {
  appendJsonNumber(out, static_cast<int64_t>(index));
}

}  // namespace

std::vector<SummaryPair> pairsAtOrAbove(std::span<const PredictorRole> roles,
                                        std::span<const float> correlations, float threshold) {
  const std::size_t k = roles.size();
  if (correlations.size() != k * k)
    throw std::invalid_argument("correlations do not fit the predictors");
  std::vector<SummaryPair> pairs;
  for (std::size_t i = 0; i < k; ++i) {
    if (!correlates(roles[i])) continue;
    for (std::size_t j = i + 1; j < k; ++j) {
      const float r = correlations[i * k + j];
      // A NaN fails the comparison and is never listed.
      if (correlates(roles[j]) && std::fabs(r) >= threshold) pairs.push_back({i, j, r});
    }
  }
  std::sort(pairs.begin(), pairs.end(), listedBefore);
  return pairs;
}

Summary summaryOf(const DesignMatrix& matrix, const DesignDiagnostics& diagnostics,
                  std::span<const float> correlations, float threshold,
                  std::vector<std::string> warnings) {
  const std::size_t k = coveredPredictorCount(matrix);
  if (diagnostics.roles.size() != k || diagnostics.stats.size() != k ||
      diagnostics.varianceInflation.size() != k)
    throw std::invalid_argument("diagnostics do not fit the design matrix");
  Summary summary;
  summary.file = matrix.fileName;
  summary.nrOfPredictors = matrix.nrOfPredictors.value;
  summary.nrOfDataPoints = matrix.nrOfDataPoints.value;
  summary.firstConfoundPredictor = matrix.firstConfoundPredictor.value;
  for (std::size_t i = 0; i < k; ++i) {
    summary.predictors.push_back({matrix.names[i], diagnostics.roles[i], diagnostics.stats[i].mean,
                                  diagnostics.stats[i].stdDev, diagnostics.varianceInflation[i]});
  }
  summary.correlations = correlations;
  summary.threshold = threshold;
  // A NaN threshold lists nothing: every comparison with it fails.
  summary.pairs = pairsAtOrAbove(diagnostics.roles, correlations, threshold);
  summary.conditionNumber = diagnostics.conditionNumber;
  summary.dependencies = diagnostics.dependencies;
  summary.warnings = std::move(warnings);
  return summary;
}

std::string summaryPath(const std::string& fileName, const std::string& folder) {
  return stripExtension(correlationReportPath(fileName, folder)) + ".json";
}

std::string summaryJson(const Summary& s) {
  const std::size_t k = s.predictors.size();
  if (s.correlations.size() != k * k)
    throw std::invalid_argument("correlations do not fit the predictors");
  std::string out = "{\r\n  \"version\": 1,\r\n  \"file\": ";
  appendJsonString(out, s.file);
  out += ",\r\n  \"nrOfPredictors\": ";
  appendJsonNumber(out, s.nrOfPredictors);
  out += ",\r\n  \"nrOfDataPoints\": ";
  appendJsonNumber(out, s.nrOfDataPoints);
  out += ",\r\n  \"firstConfoundPredictor\": ";
  appendJsonNumber(out, s.firstConfoundPredictor);

  out += ",\r\n  \"predictors\": [";
  for (std::size_t i = 0; i < k; ++i) {
    const SummaryPredictor& p = s.predictors[i];
    out += i == 0 ? "\r\n    {\"name\": " : ",\r\n    {\"name\": ";
    appendJsonString(out, p.name);
    out += ", \"role\": ";
    appendJsonString(out, roleName(p.role));
    out += ", \"mean\": ";
    appendJsonNumber(out, p.mean);
    out += ", \"sd\": ";
    appendJsonNumber(out, p.stdDev);
    out += ", \"vif\": ";
    appendJsonNumber(out, p.varianceInflation);
    out += '}';
  }
  out += k == 0 ? "]" : "\r\n  ]";

  out += ",\r\n  \"correlations\": [";
  for (std::size_t i = 0; i < k; ++i) {
    out += i == 0 ? "\r\n    [" : ",\r\n    [";
    for (std::size_t j = 0; j < k; ++j) {
      if (j > 0) out += ", ";
      appendJsonNumber(out, s.correlations[i * k + j]);
    }
    out += ']';
  }
  out += k == 0 ? "]" : "\r\n  ]";

  out += ",\r\n  \"threshold\": ";
  appendJsonNumber(out, s.threshold);
  out += ",\r\n  \"pairs\": [";
  for (std::size_t p = 0; p < s.pairs.size(); ++p) {
    out += p == 0 ? "\r\n    {\"first\": " : ",\r\n    {\"first\": ";
    appendIndex(out, s.pairs[p].first);
    out += ", \"second\": ";
    appendIndex(out, s.pairs[p].second);
    out += ", \"r\": ";
    appendJsonNumber(out, s.pairs[p].r);
    out += '}';
  }
  out += s.pairs.empty() ? "]" : "\r\n  ]";

  out += ",\r\n  \"conditionNumber\": ";
  appendJsonNumber(out, s.conditionNumber);
  out += ",\r\n  \"dependencies\": [";
  for (std::size_t d = 0; d < s.dependencies.size(); ++d) {
    out += d == 0 ? "\r\n    [" : ",\r\n    [";
    for (std::size_t i = 0; i < s.dependencies[d].size(); ++i) {
      if (i > 0) out += ", ";
      appendIndex(out, s.dependencies[d][i]);
    }
    out += ']';
  }
  out += s.dependencies.empty() ? "]" : "\r\n  ]";

  out += ",\r\n  \"warnings\": [";
  for (std::size_t w = 0; w < s.warnings.size(); ++w) {
    out += w == 0 ? "\r\n    " : ",\r\n    ";
    appendJsonString(out, s.warnings[w]);
  }
  out += s.warnings.empty() ? "]" : "\r\n  ]";
  out += "\r\n}\r\n";
  return out;
}
