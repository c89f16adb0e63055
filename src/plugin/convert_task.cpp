#include <string>

#include "confounds/confound_reader.h"
#include "confounds/tsv_writer.h"
#include "host/host_services.h"
#include "plugin/brindle.h"
#include "plugin/load_design.h"
#include "plugin/log_message.h"
#include "report/design_report.h"
#include "sdm/design_matrix.h"

void brindle::convertTask() {
  const std::string input = host::stringParameter("sdm1");
  DesignLoader loader(logStream.get(), host::flagParameter("strict"), {input});
  DesignMatrix matrix = loader.load(input);

  const auto path =
      host::saveFileName("Choose a name for saving the resulting SDM", sdmNameBeside(input));
  if (!path) return;
  // The chosen name decides the kind of file: a table for pandas and the like, else an SDM.
  if (confoundFormatOf(*path) == ConfoundFormat::tsv)
    saveTsv(matrix, *path);
  else
    matrix.save(*path);
  if (!logStream) return;
  logMessage(*logStream, "Saved " + *path);
  if (const auto warning = estimabilityNotice(matrix)) logMessage(*logStream, noticeText(*warning));
}
