#include "correlation/report.h"
#include "correlation/report_extras.h"
#include "host/host_services.h"
#include "plugin/brindle.h"
#include "plugin/sdm_loading.h"
#include "sdm/design_matrix.h"

void brindle::correlationTask() {
  // The path is used as the dialog gave it: the load reports a missing or empty one.
  const std::string path = host::stringParameter("sdm1");
  const DesignMatrix matrix = loadSdmForTask(path, host::flagParameter("strict"), logStream.get());
  matrix.writeCorrelations();
  if (!logStream) return;
  host::logMessage(*logStream, ">  Saved Correlatios to " + correlationReportPath(matrix.fileName));
  ReportExtrasReader extras;
  writeReportExtras(matrix, extras.get(), *logStream);
}
