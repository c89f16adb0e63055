#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/split.h"
#include "contract/confound_terms.h"
#include "contract/parameters.h"
#include "contract/terms.h"
#include "events/hrf.h"
#include "events/task_design.h"
#include "host/host_services.h"
#include "plugin/brindle.h"
#include "plugin/load_design.h"
#include "plugin/log_message.h"
#include "plugin/output_guard.h"
#include "plugin/report_extras.h"
#include "sdm/sdm_file.h"

namespace plugin {

namespace {

// The dialog parameters of "design" as the host gave them, every one read once.
struct DesignParameters {
  std::string events;  // the events files, one path a line
  std::string repetitionTime;
  int volumes = 0;
  std::string volumesFrom;  // a table or SDM whose data points are the volumes, when volumes is 0
  std::string hrf;
  bool derivatives = false;
  std::string sliceReference;
  std::string conditions;
};

// What the task does: the events files in order, each modelled the same way.
struct DesignOptions {
  std::vector<std::string> eventsFiles;
  events::TaskModel model;
  std::vector<std::string> inputs;  // the events files and the table that gave the volumes
};

DesignParameters readDesignParameters() {
  DesignParameters read;
  read.events = host::stringParameter(contract::parameter::events, host::listBufferSize);
  read.repetitionTime = host::stringParameter(contract::parameter::repetitionTime);
  read.volumes = host::intParameter(contract::parameter::volumes);
  // Asked for only without "volumes", so a design given its volumes makes the calls it made.
  if (read.volumes == 0) read.volumesFrom = host::stringParameter(contract::parameter::volumesFrom);
  read.hrf = host::stringParameter(contract::parameter::hrf);
  read.derivatives = host::flagParameter(contract::parameter::derivatives);
  read.sliceReference = host::stringParameter(contract::parameter::sliceReference);
  read.conditions = host::stringParameter(contract::parameter::conditions);
  return read;
}

// The parameters judged: throws std::runtime_error naming the first one that cannot be used.
// The bounds of the numbers are the design's to check, with the file they refuse.
DesignOptions designOptionsOf(const DesignParameters& read) {
  DesignOptions options;
  options.eventsFiles = base::split(read.events, '\n');
  if (options.eventsFiles.empty()) throw std::runtime_error("No events files available");
  options.inputs = options.eventsFiles;
  const std::optional<double> tr = contract::decimalValue(read.repetitionTime);
  if (!tr) throw std::runtime_error("Invalid repetition time: " + read.repetitionTime);
  const std::string_view hrfName = contract::withoutBlanks(read.hrf);
  const std::optional<events::HrfModel> hrf =
      hrfName.empty() ? events::HrfModel::spm : events::hrfModelNamed(hrfName);
  if (!hrf) throw std::runtime_error("Invalid HRF model: " + read.hrf + " (spm or glover)");
  std::optional<double> sliceReference = 0.0;
  if (!contract::withoutBlanks(read.sliceReference).empty())
    sliceReference = contract::decimalValue(read.sliceReference);
  if (!sliceReference)
    throw std::runtime_error("Invalid slice-timing reference: " + read.sliceReference);
  if (std::string problem = contract::conditionTermsProblem(read.conditions); !problem.empty()) {
    problem[0] = static_cast<char>(problem[0] - 'a' + 'A');  // the message begins the sentence
    throw std::runtime_error(problem);
  }

  options.model.repetitionTime = *tr;
  options.model.volumes = read.volumes;
  if (read.volumes == 0 && !contract::withoutBlanks(read.volumesFrom).empty()) {
    // Counted by the readers the merge uses, so the design has the rows the merge will match.
    DesignLoader loader(nullptr, false, {read.volumesFrom});
    options.model.volumes = loader.load(read.volumesFrom).nrOfDataPoints;
    options.inputs.push_back(read.volumesFrom);
  }
  options.model.hrf = *hrf;
  options.model.timeDerivatives = read.derivatives;
  options.model.sliceReference = *sliceReference;
  options.model.conditionTerms = read.conditions;
  return options;
}

}  // namespace

}  // namespace plugin

void brindle::designTask() {
  const plugin::DesignOptions options = plugin::designOptionsOf(plugin::readDesignParameters());
  // Like a merge's results, each design may have its report written beside it.
  const bool reports = host::flagParameter(contract::parameter::reports);
  const report::ReportRequest request =
      reports ? plugin::readReportRequest() : report::ReportRequest{};
  plugin::OutputGuard guard(options.inputs, logStream.get(), refused_);
  for (const std::string& path : options.eventsFiles) {
    events::TaskDesign design = events::taskDesign(path, options.model);
    if (logStream) {
      for (const base::Notice& notice : design.notices)
        plugin::logMessage(*logStream, base::noticeText(notice));
    }
    const auto saved = host::saveFileName("Choose a name for saving the resulting SDM",
                                          events::designPathOf(path));
    // A cancelled dialog, or an answer that would replace an input or an earlier output, skips
    // this file's design only.
    if (!saved || !guard.admits({*saved})) continue;
    sdm::saveSdm(design.matrix, *saved);
    guard.wrote(*saved);
    if (!logStream) continue;
    plugin::logMessage(*logStream, "Saved " + *saved);
    if (!reports) continue;
    plugin::writeReport(design.matrix, request, {design.notices, std::nullopt, {}, {}}, guard,
                        *logStream);
  }
}
