#include "report/design_report.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "base/output_file.h"
#include "contract/report_files.h"
#include "correlation/correlation_matrix.h"
#include "correlation/covered_predictors.h"
#include "correlation/report.h"
#include "diagnostics/display_names.h"
#include "heatmap/design_plot.h"
#include "heatmap/plot.h"
#include "report/log_lines.h"
#include "report/summary_json.h"
#include "sdm/design_matrix.h"
#include "sdm/protected_inputs.h"

DesignReport analyse(const DesignMatrix& matrix, const ReportRequest& request) {
  DesignReport report;
  report.predictorCount = coveredPredictorCount(matrix);
  if (!request.needsAnalysis()) return report;
  const auto predictors = std::span(matrix.values).first(report.predictorCount);
  report.correlations = correlationMatrix(predictors);
  report.shownNames = displayNames(std::span(matrix.names).first(report.predictorCount));
  report.diagnostics = diagnoseDesign(matrix);
  if (request.threshold.on()) {
    // The log shows the strongest pairs only; the summary lists all of them in order.
    report.pairs =
        pairsAtOrAbove(report.diagnostics.roles, report.correlations, request.threshold.value,
                       request.summary ? SIZE_MAX : maxFlaggedPairs);
  }
  report.analysed = true;
  return report;
}

namespace {

// Writes `text` to `path` through a temporary file moved into place, unless the path reaches the
// SDM or an input of the task.
void writeReportFile(const std::string& path, const std::string& text, const DesignMatrix& matrix,
                     const ReportRequest& request) {
  refuseToReplace(path, matrix.fileName, request.inputs, request.written);
  OutputFile file(path);
  file.write(text);
  file.commit();
}

}  // namespace

void writeCorrelationReport(const DesignMatrix& matrix, const DesignReport& report,
                            const ReportRequest& request) {
  refuseToReplace(contract::correlationReportPath(matrix.fileName, request.folder), matrix.fileName,
                  request.inputs, request.written);
  if (report.analysed)
    writeCorrelations(matrix, report.correlations, request.folder);
  else
    writeCorrelations(matrix, request.folder);
}

void writeReportFiles(const DesignMatrix& matrix, const DesignReport& report,
                      const ReportRequest& request) {
  if (!report.analysed) return;
  if (request.plot) {
    writeReportFile(contract::correlationPlotPath(matrix.fileName, request.folder),
                    correlationPlotSvg(matrix, report.correlations, report.shownNames,
                                       report.diagnostics.roles),
                    matrix, request);
    writeReportFile(contract::designPlotPath(matrix.fileName, request.folder),
                    designPlotSvg(matrix, report.shownNames, report.diagnostics.varianceInflation,
                                  report.diagnostics.roles),
                    matrix, request);
  }
  if (request.summary) {
    const std::string path = contract::summaryPath(matrix.fileName, request.folder);
    refuseToReplace(path, matrix.fileName, request.inputs, request.written);
    OutputFile file(path);
    writeSummaryJson(summaryOf(matrix, report, request),
                     [&](std::string_view piece) { file.write(piece); });
    file.commit();
  }
}

std::vector<std::string> reportFilePaths(const std::string& sdmPath, const ReportRequest& request) {
  return contract::reportFilePaths(sdmPath, {request.plot, request.summary, request.folder});
}

std::vector<std::string> logLines(const DesignReport& report,
                                  const CorrelationThreshold& threshold) {
  if (threshold.state == CorrelationThreshold::State::invalid)
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

std::optional<Notice> estimabilityNotice(const DesignMatrix& matrix) {
  const int32_t predictors = matrix.nrOfPredictors.value;
  const int32_t dataPoints = matrix.nrOfDataPoints.value;
  if (predictors < 1 || predictors < dataPoints) return std::nullopt;
  return Notice{NoticeKind::warning, matrix.fileName,
                std::to_string(predictors) + " predictors for " + std::to_string(dataPoints) +
                    " data points: the design cannot be estimated"};
}
