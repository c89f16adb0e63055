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

std::size_t listedPairs(const ReportRequest& request) {
  return request.summary ? maxListedPairs : std::max(maxFlaggedPairs, maxInterestPairs);
}

DesignReport analyse(const sdm::DesignMatrix& matrix, const ReportRequest& request) {
  DesignReport report;
  report.predictorCount = matrix.predictors.size();
  if (!request.needsAnalysis()) return report;
  const std::size_t k = report.predictorCount;
  // Above the bound the K x K cells are never held: the correlation report's stream gives the
  // pairs.
  if (k <= maxHeldPredictors)
    report.correlations = correlation::correlationMatrix(sdm::valuesOf(matrix.predictors));
  report.shownNames = diagnostics::displayNames(sdm::namesOf(matrix.predictors));
  report.diagnostics = diagnostics::diagnoseDesign(matrix);
  if (request.threshold.on() && k <= maxHeldPredictors) {
    PairCollector pairs(report.diagnostics.roles, request.threshold.value, listedPairs(request));
    const std::span<const float> cells(report.correlations);
    for (std::size_t row = 0; row < k; ++row) pairs.addPiece(row, 0, cells.subspan(row * k, k));
    report.pairCount = pairs.count();
    report.interestPairCount = pairs.interestCount();
    report.pairs = pairs.take();
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
    add(flaggedPairLines(report.pairs, report.shownNames, diagnosed.roles, report.pairCount));
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
