#include "plugin/report_extras.h"

#include "contract/parameters.h"
#include "host/host_services.h"
#include "host/trml_log.h"
#include "plugin/log_message.h"
#include "report/log_lines.h"
#include "report/report_writer.h"
#include "sdm/design_matrix.h"
#include "sdm/protected_inputs.h"

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
                 report::RunContext context, OutputGuard& guard, TRMLLog& log,
                 const std::string& savedLine) {
  const std::size_t predictors = matrix.predictors.size();
  if (predictors > report::maxReportedPredictors) {
    logMessage(log, report::reportSkippedLine(predictors));
    return;
  }
  context.inputs = guard.inputs();
  context.written = guard.written();
  const report::DesignReport report = report::analyse(matrix, request);
  const report::ReportWriter writer(matrix, request, context);
  try {
    writer.writeCorrelationReport(report);
    guard.wrote(writer.paths().front());
    if (!savedLine.empty()) logMessage(log, savedLine);
    writer.writeOtherFiles(report);
  } catch (const sdm::InputProtectedError& refusal) {
    // The files before the refused one were written; the result stands without the rest.
    for (const std::string& path : writer.paths()) {
      if (path == refusal.path()) break;
      guard.wrote(path);
    }
    guard.refuse(refusal.what());
    return;
  }
  for (const std::string& path : writer.paths()) guard.wrote(path);
  for (const std::string& line : report::logLines(report, request.threshold)) logMessage(log, line);
}

}  // namespace plugin
