#include "plugin/report_extras.h"

#include "correlation/covered_predictors.h"
#include "host/host_services.h"
#include "host/trml_log.h"
#include "plugin/log_message.h"
#include "report/log_lines.h"
#include "sdm/design_matrix.h"

ReportRequest readReportRequest() {
  ReportRequest request;
  request.folder = host::stringParameter("corrdir");
  request.plot = host::flagParameter("corrplot");
  request.threshold = parseCorrelationThreshold(host::stringParameter("corrwarn"));
  request.summary = host::flagParameter("corrjson");
  return request;
}

void writeReport(const DesignMatrix& matrix, const ReportRequest& request, TRMLLog& log,
                 const std::string& savedLine) {
  const std::size_t predictors = coveredPredictorCount(matrix);
  if (predictors > maxReportedPredictors) {
    logMessage(log, reportSkippedLine(predictors));
    return;
  }
  const DesignReport report = analyse(matrix, request);
  writeCorrelationReport(matrix, report, request);
  if (!savedLine.empty()) logMessage(log, savedLine);
  writeReportFiles(matrix, report, request);
  for (const std::string& line : logLines(report, request.threshold)) logMessage(log, line);
}
