#include "plugin/design_report.h"

#include <limits>
#include <utility>

#include "base/output_file.h"
#include "correlation/correlation_matrix.h"
#include "correlation/covered_predictors.h"
#include "diagnostics/design_diagnostics.h"
#include "diagnostics/diagnostic_messages.h"
#include "diagnostics/display_names.h"
#include "diagnostics/summary_json.h"
#include "heatmap/design_plot.h"
#include "heatmap/plot.h"
#include "sdm/design_matrix.h"

std::vector<std::string> writeDesignReport(const DesignMatrix& matrix,
                                           const DesignReportRequest& request) {
  const bool flagging = request.threshold.state == CorrelationThreshold::State::on;
  const std::size_t k = coveredPredictorCount(matrix);
  // The pictures, the flagged pairs and the summary share one computation of the correlations.
  const std::vector<float> cells = correlationMatrix(std::span(matrix.values).first(k));
  const std::vector<std::string> names = displayNames(std::span(matrix.names).first(k));
  const DesignDiagnostics diagnostics = diagnoseDesign(matrix);

  if (request.plot) {
    writeCorrelationPlot(matrix, cells, names, request.folder);
    writeDesignPlot(matrix, names, diagnostics.varianceInflation, request.folder);
  }
  if (request.summary) {
    const float threshold =
        flagging ? request.threshold.value : std::numeric_limits<float>::quiet_NaN();
    const Summary summary =
        summaryOf(matrix, diagnostics, cells, threshold,
                  {request.readerRepairWarnings.begin(), request.readerRepairWarnings.end()});
    const std::string path = summaryPath(matrix.fileName, request.folder);
    refuseToReplaceTheSdm(path, matrix.fileName);
    OutputFile file(path);
    file.write(summaryJson(summary));
    file.commit();
  }
  if (!flagging) return {};
  std::vector<std::string> messages =
      flaggedPairMessages(matrix, names, cells, request.threshold.value);
  for (std::string& text : highInflationMessages(names, diagnostics.varianceInflation))
    messages.push_back(std::move(text));
  messages.push_back(conditionNumberMessage(diagnostics.conditionNumber));
  return messages;
}
