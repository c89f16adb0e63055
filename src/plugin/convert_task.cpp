#include <string>

#include "confounds/confound_reader.h"
#include "confounds/tsv_sidecar.h"
#include "confounds/tsv_writer.h"
#include "contract/parameters.h"
#include "host/host_services.h"
#include "plugin/brindle.h"
#include "plugin/load_design.h"
#include "plugin/log_message.h"
#include "plugin/metadata.h"
#include "plugin/output_guard.h"
#include "report/design_report.h"
#include "sdm/design_matrix.h"
#include "sdm/sdm_file.h"

void brindle::convertTask() {
  const std::string input = host::stringParameter(contract::parameter::primary);
  plugin::DesignLoader loader(logStream.get(), host::flagParameter(contract::parameter::strict),
                              {input});
  sdm::DesignMatrix matrix = loader.load(input);

  const auto path = host::saveFileName("Choose a name for saving the resulting SDM",
                                       plugin::sdmNameBeside(input));
  if (!path) return;
  plugin::OutputGuard guard({input}, logStream.get(), refused_);
  // The chosen name decides the kind of file: a table for pandas and the like, else an SDM.
  // A table gets a sidecar beside it with what the table cannot hold, so that it reads back as
  // the same design: both are checked before either is written.
  const bool table = confounds::confoundFormatOf(*path) == confounds::ConfoundFormat::tsv;
  const std::string sidecar = table ? confounds::sidecarPath(*path) : std::string();
  if (!(table ? guard.admits({*path, sidecar}) : guard.admits({*path}))) return;
  if (table) {
    if (const std::string why = confounds::sidecarRefusal(sidecar); !why.empty()) {
      guard.refuse("Cannot Create file: " + sidecar + " (" + why + ")");
      return;
    }
    confounds::saveTsv(matrix, *path);
    confounds::saveSidecar(matrix, sidecar, plugin::pluginVersion);
    matrix.fileName = *path;  // as saveSdm names an SDM: the warnings below name what was saved
  } else {
    sdm::saveSdm(matrix, *path);
  }
  if (!logStream) return;
  plugin::logMessage(*logStream, "Saved " + *path);
  if (table) plugin::logMessage(*logStream, "Saved " + sidecar);
  if (const auto warning = report::estimabilityNotice(matrix))
    plugin::logMessage(*logStream, base::noticeText(*warning));
}
