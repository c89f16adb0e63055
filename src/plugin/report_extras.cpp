#include "plugin/report_extras.h"

#include <vector>

#include "correlation/flagged_pairs.h"
#include "host/host_services.h"
#include "host/trml_log.h"
#include "plugin/design_report.h"
#include "plugin/log_message.h"
#include "sdm/design_matrix.h"

const std::string& ReportExtrasReader::folder() {
  if (!folder_) folder_ = host::stringParameter("corrdir");
  return *folder_;
}

const ReportExtras& ReportExtrasReader::get() {
  // A braced list is evaluated from left to right: the host sees the reads in this order.
  if (!extras_) {
    const std::string& reportFolder = folder();
    extras_ = ReportExtras{reportFolder, host::flagParameter("corrplot"),
                           host::stringParameter("corrwarn"), host::flagParameter("corrjson")};
  }
  return *extras_;
}

void writeReportExtras(const DesignMatrix& matrix, const ReportExtras& extras, TRMLLog& log,
                       std::span<const std::string> readerRepairWarnings) {
  const CorrelationThreshold threshold = parseCorrelationThreshold(extras.warnThreshold);
  const bool flagging = threshold.state == CorrelationThreshold::State::on;
  std::vector<std::string> messages;
  if (extras.plot || flagging || extras.summary)
    messages = writeDesignReport(
        matrix, {extras.plot, extras.summary, threshold, readerRepairWarnings, extras.folder});
  // Off gives nothing and an invalid threshold its one notice, neither needing correlations.
  if (!flagging) messages = correlationWarnings(matrix, extras.warnThreshold);
  for (const auto& message : messages) logMessage(log, message);
}
