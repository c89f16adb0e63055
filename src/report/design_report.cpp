#include "report/design_report.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "correlation/correlation_matrix.h"
#include "diagnostics/display_names.h"
#include "report/log_lines.h"
#include "sdm/design_matrix.h"

namespace report {

DesignReport analyse(const sdm::DesignMatrix& matrix, const ReportRequest& request) {
  DesignReport report;
  report.predictorCount = matrix.predictors.size();
  if (!request.needsAnalysis()) return report;
  report.correlations = correlation::correlationMatrix(sdm::valuesOf(matrix.predictors));
  report.shownNames = diagnostics::displayNames(sdm::namesOf(matrix.predictors));
  report.diagnostics = diagnostics::diagnoseDesign(matrix);
  if (request.threshold.on()) {
    // The log shows the strongest pairs only; the summary lists all of them in order.
    report.pairs =
        pairsAtOrAbove(report.diagnostics.roles, report.correlations, request.threshold.value,
                       request.summary ? SIZE_MAX : maxFlaggedPairs);
  }
  report.analysed = true;
  return report;
}

std::vector<std::string> logLines(const DesignReport& report,
                                  const contract::CorrelationThreshold& threshold) {
  if (threshold.state == contract::CorrelationThreshold::State::invalid)
    return {thresholdIgnoredLine(threshold)};
  if (!threshold.on() || !report.analysed) return {};
  std::vector<std::string> lines = flaggedPairLines(report.pairs, report.shownNames);
  for (std::string& line :
       highInflationLines(report.shownNames, report.diagnostics.varianceInflation))
    lines.push_back(std::move(line));
  lines.push_back(report.diagnostics.tooManyPredictors
                      ? diagnosticsSkippedLine(report.predictorCount)
                      : conditionNumberLine(report.diagnostics.conditionNumber));
  return lines;
}

std::optional<base::Notice> estimabilityNotice(const sdm::DesignMatrix& matrix) {
  const auto predictors = static_cast<int64_t>(matrix.predictors.size());
  const int32_t dataPoints = matrix.nrOfDataPoints;
  if (predictors < 1 || predictors < dataPoints) return std::nullopt;
  return base::Notice{base::NoticeKind::warning, matrix.fileName,
                      std::to_string(predictors) + " predictors for " + std::to_string(dataPoints) +
                          " data points: the design cannot be estimated"};
}

}  // namespace report
