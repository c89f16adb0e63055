#include "plugin/report_extras.h"

#include <span>
#include <vector>

#include "correlation/correlation_matrix.h"
#include "correlation/covered_predictors.h"
#include "correlation/flagged_pairs.h"
#include "heatmap/plot.h"
#include "host/host_services.h"
#include "host/trml_log.h"
#include "plugin/log_message.h"
#include "sdm/design_matrix.h"

const std::string& ReportExtrasReader::folder() {
  if (!folder_) folder_ = host::stringParameter("corrdir");
  return *folder_;
}

const ReportExtras& ReportExtrasReader::get() {
  if (!extras_) {
    const std::string& reportFolder = folder();
    extras_ = ReportExtras{reportFolder, host::flagParameter("corrplot"),
                           host::stringParameter("corrwarn")};
  }
  return *extras_;
}

void writeReportExtras(const DesignMatrix& matrix, const ReportExtras& extras, TRMLLog& log) {
  const CorrelationThreshold threshold = parseCorrelationThreshold(extras.warnThreshold);
  const bool flagging = threshold.state == CorrelationThreshold::State::on;
  std::vector<std::string> messages;
  if (extras.plot || flagging) {
    // The heatmap and the flagged pairs share one computation of the correlations.
    const std::vector<float> cells =
        correlationMatrix(std::span(matrix.values).first(coveredPredictorCount(matrix)));
    if (extras.plot) writeCorrelationPlot(matrix, cells, extras.folder);
    if (flagging) messages = flaggedPairMessages(matrix, cells, threshold.value);
  }
  // Off gives nothing and an invalid threshold its one notice, neither needing correlations.
  if (!flagging) messages = correlationWarnings(matrix, extras.warnThreshold);
  for (const auto& message : messages) logMessage(log, message);
}
