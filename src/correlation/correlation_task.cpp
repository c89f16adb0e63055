#include "correlation/report.h"
#include "correlation/report_extras.h"
#include "host/host_services.h"
#include "plugin/brindle.h"
#include "sdm/design_matrix.h"

void brindle::correlationTask() {
  // The path is used as the dialog gave it: the load reports a missing or empty one.
  const DesignMatrix matrix = DesignMatrix::load(host::stringParameter("sdm1"));
  matrix.writeCorrelations();
  if (!logStream) return;
  host::logMessage(*logStream, ">  Saved Correlatios to " + correlationReportPath(matrix.fileName));
  ReportExtrasReader extras;
  writeReportExtras(matrix, extras.get(), *logStream);
}
