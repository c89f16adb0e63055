#include "plugin/report_extras.h"

#include <optional>

#include <stdexcept>
#include "contract/contrasts.h"

#include "contract/json_object.h"
#include "contract/parameters.h"
#include "contract/terms.h"
#include "host/host_services.h"
#include "host/trml_log.h"
#include "plugin/log_message.h"
#include "report/log_lines.h"
#include "report/report_writer.h"
#include "sdm/design_matrix.h"
#include "sdm/protected_inputs.h"

namespace plugin {

namespace {

// The limit the dialog parameter `name` gives, or `fallback` for an empty text. Throws
// std::runtime_error for a text the parameter's rule does not take.
double markLimit(const char* name, double fallback) {
  const std::string text = host::stringParameter(name);
  const contract::ParameterRule& rule = *contract::parameterRule(name);
  if (contract::withoutBlanks(text).empty()) return fallback;
  const std::optional<double> value = contract::parameterNumber(rule, text);
  if (!value)
    throw std::runtime_error("Invalid " + std::string(name) + ": " + text + " (" +
                             contract::parameterWants(rule) + ")");
  return *value;
}

}  // namespace

report::ReportRequest readReportRequest() {
  report::ReportRequest request;
  request.folder = host::stringParameter(contract::parameter::reportFolder);
  request.plot = host::flagParameter(contract::parameter::plots);
  request.threshold =
      contract::parseCorrelationThreshold(host::stringParameter(contract::parameter::threshold));
  request.summary = host::flagParameter(contract::parameter::summary);
  request.page = host::flagParameter(contract::parameter::runPage);
  request.contrasts = contract::parseContrastList(
      host::stringParameter(contract::parameter::contrasts, host::listBufferSize));
  namespace name = contract::parameter;
  contract::MarkLimits& limits = request.limits;
  limits.amberVif = markLimit(name::amberVif, limits.amberVif);
  limits.redVif = markLimit(name::redVif, limits.redVif);
  limits.amberCost = markLimit(name::amberCost, limits.amberCost);
  limits.redCost = markLimit(name::redCost, limits.redCost);
  limits.redScrubbed = markLimit(name::redScrubbed, limits.redScrubbed);
  return request;
}

std::string readRunSettings(const report::ReportRequest& request) {
  if (!request.summary && !request.page) return {};
  // A record of a run's commands can be longer than a path.
  const std::string text =
      host::stringParameter(contract::parameter::provenance, host::listBufferSize);
  if (contract::withoutBlanks(text).empty()) return {};
  contract::JsonObjectText settings = contract::jsonObjectText(text);
  if (!settings.ok())
    throw std::runtime_error("Invalid provenance (not one JSON object: " + settings.problem + ")");
  return std::move(settings.text);
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
  report::DesignReport report = report::analyse(matrix, request);
  const report::ReportWriter writer(matrix, request, context);
  try {
    writer.writeCorrelationReport(report);
    guard.wrote(writer.paths().front());
    if (!savedLine.empty()) logMessage(log, savedLine);
    if (writer.picturesSkipped()) logMessage(log, report::picturesSkippedLine(predictors));
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
  for (const std::string& line : report::logLines(report, request, matrix.fileName))
    logMessage(log, line);
}

}  // namespace plugin
