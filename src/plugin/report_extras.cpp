#include "plugin/report_extras.h"

#include "contract/parameters.h"
#include "host/host_services.h"
#include "host/trml_log.h"
#include "plugin/log_message.h"
#include "report/log_lines.h"
#include "sdm/design_matrix.h"

namespace plugin {

report::ReportRequest readReportRequest() {
  report::ReportRequest request;
  request.folder = host::stringParameter(contract::parameter::reportFolder);
  request.plot = host::flagParameter(contract::parameter::plots);
  request.threshold =
      contract::parseCorrelationThreshold(host::stringParameter(contract::parameter::threshold));
  request.summary = host::flagParameter(contract::parameter::summary);
  return request;
}

void writeReport(const sdm::DesignMatrix& matrix, const report::ReportRequest& request,
                 TRMLLog& log, const std::string& savedLine) {
  const std::size_t predictors = matrix.predictors.size();
  if (predictors > report::maxReportedPredictors) {
    logMessage(log, report::reportSkippedLine(predictors));
    return;
  }
  const report::DesignReport report = report::analyse(matrix, request);
  report::writeCorrelationReport(matrix, report, request);
  if (!savedLine.empty()) logMessage(log, savedLine);
  report::writeReportFiles(matrix, report, request);
  for (const std::string& line : report::logLines(report, request.threshold)) logMessage(log, line);
}

}  // namespace plugin
