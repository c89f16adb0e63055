#include "correlation/report_extras.h"

#include "correlation/flagged_pairs.h"
#include "correlation/plot.h"
#include "host/host_services.h"
#include "host/trml_log.h"
#include "sdm/design_matrix.h"

const ReportExtras& ReportExtrasReader::get() {
  if (!extras_) extras_ = ReportExtras{host::flagParameter("corrplot"), host::stringParameter("corrwarn")};
  return *extras_;
}

void writeReportExtras(const DesignMatrix& matrix, const ReportExtras& extras, TRMLLog& log) {
  if (extras.plot) writeCorrelationPlot(matrix);
  for (const auto& message : correlationWarnings(matrix, extras.warnThreshold)) host::logMessage(log, message);
}
