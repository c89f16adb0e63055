#include <string>
#include <utility>

#include "contract/parameters.h"
#include "contract/report_files.h"
#include "host/host_services.h"
#include "plugin/brindle.h"
#include "plugin/load_design.h"
#include "plugin/log_message.h"
#include "plugin/output_guard.h"
#include "plugin/report_extras.h"
#include "report/report_writer.h"
#include "sdm/design_matrix.h"

void brindle::correlationTask() {
  // The path is used as the dialog gave it: the load reports a missing or empty one.
  const std::string path = host::stringParameter(contract::parameter::primary);
  const bool strict = host::flagParameter(contract::parameter::strict);
  const report::ReportRequest request = plugin::readReportRequest();
  plugin::DesignLoader loader(logStream.get(), strict, {path});
  const sdm::DesignMatrix matrix = loader.load(path);
  report::RunContext context{
      loader.lastNotices(), loader.lastMeanFramewiseDisplacement(), {path}, {}};
  if (!logStream) {
    // With nowhere to say what it found, the task writes the correlation report alone.
    if (matrix.predictors.size() <= report::maxReportedPredictors) {
      report::DesignReport unanalysed;
      report::ReportWriter(matrix, request, context).writeCorrelationReport(unanalysed);
    }
    return;
  }
  if (const auto warning = report::estimabilityNotice(matrix)) {
    plugin::logMessage(*logStream, base::noticeText(*warning));
    context.notices.push_back(*warning);
  }
  plugin::OutputGuard guard({path}, logStream.get(), refused_);
  // The host's own spelling of this line, kept as the host's users know it.
  plugin::writeReport(
      matrix, request, std::move(context), guard, *logStream,
      "Saved Correlatios to " + contract::correlationReportPath(matrix.fileName, request.folder));
}
