#include "report/design_report.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "base/output_file.h"
#include "contract/report_files.h"
#include "correlation/correlation_matrix.h"
#include "correlation/report.h"
#include "diagnostics/display_names.h"
#include "heatmap/design_plot.h"
#include "heatmap/plot.h"
#include "report/log_lines.h"
#include "report/summary_json.h"
#include "sdm/design_matrix.h"
#include "sdm/protected_inputs.h"

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

namespace {

// Writes `text` to `path` through a temporary file moved into place, unless the path reaches the
// SDM or an input of the task.
void writeReportFile(const std::string& path, const std::string& text,
                     const sdm::DesignMatrix& matrix, const ReportRequest& request) {
  sdm::refuseToReplace(path, matrix.fileName, request.inputs, request.written);
  base::OutputFile file(path);
  file.write(text);
  file.commit();
}

}  // namespace

void writeCorrelationReport(const sdm::DesignMatrix& matrix, const DesignReport& report,
                            const ReportRequest& request) {
  sdm::refuseToReplace(contract::correlationReportPath(matrix.fileName, request.folder),
                       matrix.fileName, request.inputs, request.written);
  if (report.analysed)
    correlation::writeCorrelations(matrix, report.correlations, request.folder);
  else
    correlation::writeCorrelations(matrix, request.folder);
}

void writeReportFiles(const sdm::DesignMatrix& matrix, const DesignReport& report,
                      const ReportRequest& request) {
  if (!report.analysed) return;
  if (request.plot) {
    writeReportFile(contract::correlationPlotPath(matrix.fileName, request.folder),
                    heatmap::correlationPlotSvg(matrix, report.correlations, report.shownNames,
                                                report.diagnostics.roles),
                    matrix, request);
    writeReportFile(
        contract::designPlotPath(matrix.fileName, request.folder),
        heatmap::designPlotSvg(matrix, report.shownNames, report.diagnostics.varianceInflation,
                               report.diagnostics.roles),
        matrix, request);
  }
  if (request.summary) {
    const std::string path = contract::summaryPath(matrix.fileName, request.folder);
    sdm::refuseToReplace(path, matrix.fileName, request.inputs, request.written);
    base::OutputFile file(path);
    writeSummaryJson(summaryOf(matrix, report, request),
                     [&](std::string_view piece) { file.write(piece); });
    file.commit();
  }
}

std::vector<std::string> reportFilePaths(const std::string& sdmPath, const ReportRequest& request) {
  return contract::reportFilePaths(sdmPath, {request.plot, request.summary, request.folder});
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
