#include "plugin/report_extras.h"

#include <stdexcept>

#include "contract/json_object.h"
#include "contract/parameters.h"
#include "contract/terms.h"
#include "host/host_services.h"
#include "host/trml_log.h"
#include "plugin/log_message.h"
#include "report/log_lines.h"
#include "report/report_writer.h"
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

std::string readRunSettings(const report::ReportRequest& request) {
  if (!request.summary) return {};
  // A record of a run's commands can be longer than a path.
  const std::string text =
      host::stringParameter(contract::parameter::provenance, host::listBufferSize);
  if (contract::withoutBlanks(text).empty()) return {};
  contract::JsonObjectText settings = contract::jsonObjectText(text);
  if (!settings.ok())
    throw std::runtime_error("Invalid provenance (not one JSON object: " + settings.problem + ")");
  return std::move(settings.text);
}

std::vector<std::string> writeReport(const sdm::DesignMatrix& matrix,
                                     const report::ReportRequest& request,
                                     const report::RunContext& context, TRMLLog& log,
                                     const std::string& savedLine) {
  const std::size_t predictors = matrix.predictors.size();
  if (predictors > report::maxReportedPredictors) {
    logMessage(log, report::reportSkippedLine(predictors));
    return {};
  }
  const report::DesignReport report = report::analyse(matrix, request);
  const report::ReportWriter writer(matrix, request, context);
  writer.writeCorrelationReport(report);
  if (!savedLine.empty()) logMessage(log, savedLine);
  writer.writeOtherFiles(report);
  for (const std::string& line : report::logLines(report, request.threshold)) logMessage(log, line);
  return writer.paths();
}

}  // namespace plugin
