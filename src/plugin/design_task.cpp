#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/split.h"
#include "confounds/cosine_drifts.h"
#include "contract/confound_terms.h"
#include "contract/modulators.h"
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
#include "sdm/io_error.h"
#include "sdm/sdm_file.h"
#include "sdm/sdm_limits.h"

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
  std::string modulators;
  std::string conditionColumn;
  std::string conditionList;  // the exact conditions, one a line
  std::string highPass;       // the cut-off of the cosine drifts, in seconds
};

// What the task does: the events files in order, each modelled the same way.
struct DesignOptions {
  std::vector<std::string> eventsFiles;
  events::TaskModel model;
  double highPass = 0.0;            // above 0: cosine drifts of this cut-off and the constant
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
  read.modulators = host::stringParameter(contract::parameter::modulators);
  read.conditionColumn = host::stringParameter(contract::parameter::conditionColumn);
  read.conditionList =
      host::stringParameter(contract::parameter::conditionList, host::listBufferSize);
  read.highPass = host::stringParameter(contract::parameter::highPass);
  return read;
}

// The cut-off in seconds; 0 for the empty text.
double highPassOf(const std::string& text) {
  if (contract::withoutBlanks(text).empty()) return 0.0;
  const contract::ParameterRule& rule = *contract::parameterRule(contract::parameter::highPass);
  const std::optional<double> seconds = contract::parameterNumber(rule, text);
  if (!seconds)
    throw std::runtime_error("Invalid high-pass cut-off: " + text + " (seconds, " +
                             contract::parameterWants(rule) + "; 0: no drifts)");
  return *seconds;
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
  try {
    options.model.modulators = contract::parseModulators(read.modulators);
  } catch (const contract::ModulatorTermError& error) {
    throw std::runtime_error("Invalid modulators: " + std::string(error.what()));
  }
  options.model.conditionColumn = std::string(contract::withoutBlanks(read.conditionColumn));
  for (std::string& name : base::split(read.conditionList, '\n'))
    if (!name.empty()) options.model.conditionList.push_back(std::move(name));
  options.highPass = highPassOf(read.highPass);
  return options;
}

// Makes `design` whole: the cosine drifts of the cut-off as confounds, then the constant, with the
// warning of a design that cannot be estimated (report::estimabilityNotice). Throws
// IOError "Cannot model the events of " + path + " (...)" before making them when the design would
// hold more than an SDM file does.
void addDriftsAndConstant(events::TaskDesign& design, const std::string& path,
                          const DesignOptions& options) {
  const int64_t volumes = options.model.volumes;
  const int64_t drifts =
      confounds::cosineDriftCount(volumes, options.model.repetitionTime, options.highPass);
  const auto columns = static_cast<int64_t>(design.matrix.predictors.size()) + drifts + 1;
  if (columns > sdm::maxSdmPredictors || columns * volumes > sdm::maxSdmValues)
    throw sdm::IOError("Cannot model the events of " + path + " (" + std::to_string(columns) +
                       " predictors with the cosine drifts, of " + std::to_string(volumes) +
                       " volumes: more values than an SDM file holds)");
  for (sdm::Predictor& drift :
       confounds::cosineDrifts(volumes, options.model.repetitionTime, options.highPass))
    design.matrix.addPredictor(std::move(drift), true);
  design.matrix.addConstant();
  // A whole design is estimated as it stands, as a merge's result is.
  if (auto warning = report::estimabilityNotice(design.matrix))
    design.notices.push_back(std::move(*warning));
}

}  // namespace

}  // namespace plugin

void brindle::designTask() {
  const plugin::DesignOptions options = plugin::designOptionsOf(plugin::readDesignParameters());
  // Like a merge's results, each design may have its report written beside it.
  const bool reports = host::flagParameter(contract::parameter::reports);
  const report::ReportRequest request =
      reports ? plugin::readReportRequest() : report::ReportRequest{};
  const std::string settings = plugin::readRunSettings(request);
  plugin::OutputGuard guard(options.inputs, logStream.get(), refused_);
  for (const std::string& path : options.eventsFiles) {
    events::TaskDesign design = events::taskDesign(path, options.model);
    if (options.highPass > 0.0) plugin::addDriftsAndConstant(design, path, options);
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
    report::RunContext context{design.notices, std::nullopt, {}, {}};
    context.skippedEvents = std::move(design.skipped);
    context.settings = settings;
    context.repetitionTime = options.model.repetitionTime;
    context.onsets = std::move(design.onsets);
    plugin::writeReport(design.matrix, request, std::move(context), guard, *logStream);
  }
}
