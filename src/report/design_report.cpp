#include "report/design_report.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "correlation/correlation_matrix.h"
#include "diagnostics/display_names.h"
#include "report/contrast_report.h"
#include "report/log_lines.h"
#include "report/run_mark.h"
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
    // The log shows the first pairs only; the summary lists all of them in order.
    report.pairs =
        pairsAtOrAbove(report.diagnostics.roles, report.correlations, request.threshold.value,
                       request.summary ? SIZE_MAX : std::max(maxFlaggedPairs, maxInterestPairs));
  }
  report.contrasts = estimateReportContrasts(matrix, request.contrasts, report.diagnostics);
  report.unestimable = unestimablePredictors(report.contrasts, report.diagnostics);
  report.analysed = true;
  report.mark = contract::markRun(runMeasures(matrix, report), request.limits);
  return report;
}

std::vector<std::string> logLines(const DesignReport& report, const ReportRequest& request,
                                  const std::string& file) {
  const contract::CorrelationThreshold& threshold = request.threshold;
  std::vector<std::string> lines;
  if (threshold.state == contract::CorrelationThreshold::State::invalid)
    lines.push_back(thresholdIgnoredLine(threshold));
  const bool contrasts = threshold.on() || !request.contrasts.empty();
  if (!report.analysed || !contrasts) return lines;
  const diagnostics::DesignDiagnostics& diagnosed = report.diagnostics;
  const auto add = [&lines](std::vector<std::string> more) {
    for (std::string& line : more) lines.push_back(std::move(line));
  };
  if (threshold.on()) {
    add(flaggedPairLines(report.pairs, report.shownNames, diagnosed.roles));
    add(highInflationLines(report.shownNames, diagnosed.varianceInflation, diagnosed.roles,
                           request.limits.redVif));
  }
  if (diagnosed.tooManyPredictors) {
    lines.push_back(diagnosticsSkippedLine(report.predictorCount));
    return lines;
  }
  add(contrastLines(report.contrasts, file));
  if (threshold.on()) lines.push_back(conditionNumberLine(diagnosed.conditionNumber));
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
