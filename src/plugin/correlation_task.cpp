#include <string>

#include "correlation/report.h"
#include "host/host_services.h"
#include "plugin/brindle.h"
#include "plugin/load_design.h"
#include "plugin/log_message.h"
#include "plugin/report_extras.h"
#include "sdm/design_matrix.h"

void brindle::correlationTask() {
  // The path is used as the dialog gave it: the load reports a missing or empty one.
  const std::string path = host::stringParameter("sdm1");
  DesignLoader loader(logStream.get(), host::flagParameter("strict"), {path});
  const DesignMatrix matrix = loader.load(path);
  ReportExtrasReader extras;
  writeCorrelations(matrix, extras.folder());
  if (!logStream) return;
  logMessage(*logStream,
             ">  Saved Correlatios to " + correlationReportPath(matrix.fileName, extras.folder()));
  writeReportExtras(matrix, extras.get(), *logStream, loader.lastWarnings());
}
