#include "report/design_report.h"

#include <span>
#include <utility>

#include "base/output_file.h"
#include "correlation/correlation_matrix.h"
#include "correlation/covered_predictors.h"
#include "correlation/report.h"
#include "diagnostics/display_names.h"
#include "heatmap/design_plot.h"
#include "heatmap/plot.h"
#include "report/log_lines.h"
#include "report/summary_json.h"
#include "sdm/design_matrix.h"

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

void writeCorrelationReport(const DesignMatrix& matrix, const DesignReport& report,
                            const std::string& folder) {
  if (report.analysed)
    writeCorrelations(matrix, report.correlations, folder);
  else
    writeCorrelations(matrix, folder);
}

void writeReportFiles(const DesignMatrix& matrix, const DesignReport& report,
                      const ReportRequest& request) {
  if (!report.analysed) return;
  if (request.plot) {
    writeCorrelationPlot(matrix, report.correlations, report.shownNames, request.folder);
    writeDesignPlot(matrix, report.shownNames, report.diagnostics.varianceInflation,
                    request.folder);
  }
  if (request.summary) {
    const std::string path = summaryPath(matrix.fileName, request.folder);
    refuseToReplaceTheSdm(path, matrix.fileName);
    OutputFile file(path);
    file.write(summaryJson(summaryOf(matrix, report, request)));
    file.commit();
  }
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
  lines.push_back(conditionNumberLine(report.diagnostics.conditionNumber));
  return lines;
}
