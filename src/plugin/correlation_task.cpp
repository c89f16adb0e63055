#include <string>

#include "contract/parameters.h"
#include "contract/report_files.h"
#include "correlation/report.h"
#include "host/host_services.h"
#include "plugin/brindle.h"
#include "plugin/load_design.h"
#include "plugin/log_message.h"
#include "plugin/report_extras.h"
#include "sdm/design_matrix.h"

void brindle::correlationTask() {
  // The path is used as the dialog gave it: the load reports a missing or empty one.
  const std::string path = host::stringParameter(contract::parameter::primary);
  const bool strict = host::flagParameter(contract::parameter::strict);
  report::ReportRequest request = plugin::readReportRequest();
  plugin::DesignLoader loader(logStream.get(), strict, {path});
  const sdm::DesignMatrix matrix = loader.load(path);
  if (!logStream) {
    // With nowhere to say what it found, the task writes the correlation report alone.
    if (matrix.predictors.size() <= report::maxReportedPredictors)
      correlation::writeCorrelations(matrix, request.folder);
    return;
  }
  if (const auto warning = report::estimabilityNotice(matrix))
    plugin::logMessage(*logStream, base::noticeText(*warning));
  request.readerNotices = loader.lastWarnings();
  request.meanFramewiseDisplacement = loader.lastMeanFramewiseDisplacement();
  request.inputs = {path};
  // The host's own spelling of this line, kept as the host's users know it.
  plugin::writeReport(
      matrix, request, *logStream,
      "Saved Correlatios to " + contract::correlationReportPath(matrix.fileName, request.folder));
}
