#include <cstddef>
#include <exception>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "base/notice.h"
#include "base/paths.h"
#include "base/split.h"
#include "contract/parameters.h"
#include "contract/terms.h"
#include "correlation/ztransform.h"
#include "events/events_file.h"
#include "events/predictor_onsets.h"
#include "host/host_services.h"
#include "merge/append.h"
#include "plugin/brindle.h"
#include "plugin/load_design.h"
#include "plugin/log_message.h"
#include "plugin/output_guard.h"
#include "plugin/report_extras.h"
#include "sdm/design_matrix.h"
#include "sdm/sdm_file.h"

namespace plugin {

namespace {

struct MergeOptions {
  bool zTransform = false;
  bool constant = false;
  bool report = false;
  report::ReportRequest reportRequest;  // when `report`: the report files and log lines asked for
  std::string settings;                 // the run's settings for the summary (readRunSettings)
  // "tr" when a report is asked for and it is set: the design picture's seconds; NaN otherwise.
  double repetitionTime = std::numeric_limits<double>::quiet_NaN();
  // "eventsfile" and "conditioncolumn" when a report is asked for: the run's events, whose onsets
  // the design picture marks on the predictors of interest named after their conditions.
  std::string eventsFile;
  std::string conditionColumn;
  std::optional<events::EventsTable> events;  // the events file as read; none without one
  std::vector<std::string> secondaries;       // "sdms2", one path a line
  bool strict = false;
};

// "task.sdm does not have the same number of data points as short.sdm (40 against 30)".
std::string dataPointMismatch(const sdm::DesignMatrix& odd, const sdm::DesignMatrix& first) {
  return base::baseName(odd.fileName) + " does not have the same number of data points as " +
         base::baseName(first.fileName) + " (" + std::to_string(odd.nrOfDataPoints) + " against " +
         std::to_string(first.nrOfDataPoints) + ")";
}

// What the summary of a result tells of the files it was made from.
struct Sources {
  std::vector<base::Notice> notices;                // what the readers told, file by file
  std::optional<double> meanFramewiseDisplacement;  // the first file's that has one
};

// Adds what the summary tells of a file joined to the result after those of `sources`.
void addSource(Sources& sources, const Sources& file) {
  sources.notices.insert(sources.notices.end(), file.notices.begin(), file.notices.end());
  if (!sources.meanFramewiseDisplacement)
    sources.meanFramewiseDisplacement = file.meanFramewiseDisplacement;
}

// Applies the options to one result, offers it in the save dialog and saves it with its report.
// A cancelled dialog, or an answer that would replace an input or an earlier output (refused by
// `guard`), drops this result only. `sources` tell the summary file of the files the result was
// made from.
void finishResult(sdm::DesignMatrix& result, const MergeOptions& options, OutputGuard& guard,
                  TRMLLog& log, const Sources& sources) {
  if (options.constant)
    result.addConstant();
  else
    result.removeConstant();
  if (options.zTransform) correlation::zTransformConfounds(result);

  sdm::checkSdmLimits(result, result.fileName);  // a result the reader would refuse is not offered
  const auto path = host::saveFileName("Choose a name for saving the resulting SDM",
                                       offeredSdmName(result.fileName));
  if (!path || !guard.admits({*path})) return;
  sdm::saveSdm(result, *path);
  guard.wrote(*path);
  logMessage(log, "Saved " + *path);
  report::RunContext context{sources.notices, sources.meanFramewiseDisplacement, {}, {}};
  context.settings = options.settings;
  context.repetitionTime = options.repetitionTime;
  if (options.events) context.onsets = events::predictorOnsets(*options.events, result);
  if (const auto warning = report::estimabilityNotice(result)) {
    logMessage(log, base::noticeText(*warning));
    context.notices.push_back(*warning);
  }
  if (options.report) writeReport(result, options.reportRequest, std::move(context), guard, log);
}

// The dialog parameters of a merge, read up front: the options, the secondary SDMs ("sdms2")
// and "strict". Throws when there are too few secondaries. The primary ("sdm1") is asked for
// only once the secondaries agree, as the host has always seen it.
MergeOptions readMergeOptions(bool withPrimary) {
  MergeOptions options;
  // "ztans" is the host dialog's own spelling of the parameter: keep it as it is.
  options.zTransform = host::flagParameter(contract::parameter::zTransform);
  options.constant = host::flagParameter(contract::parameter::constant);
  options.report = host::flagParameter(contract::parameter::reports);
  if (options.report) {
    options.reportRequest = readReportRequest();
    options.settings = readRunSettings(options.reportRequest);
    // Only the picture reads it: a text that is no repetition time leaves the axis in points.
    const std::string tr = host::stringParameter(contract::parameter::repetitionTime);
    if (const auto seconds = contract::decimalValue(tr); seconds && *seconds > 0.0)
      options.repetitionTime = *seconds;
    options.eventsFile = host::stringParameter(contract::parameter::eventsFile);
    if (!options.eventsFile.empty())
      options.conditionColumn = host::stringParameter(contract::parameter::conditionColumn);
  }
  options.secondaries = base::split(
      host::stringParameter(contract::parameter::secondaries, host::listBufferSize), '\n');
  if (options.secondaries.empty()) throw std::runtime_error("No secondary SDMs available");
  if (!withPrimary && options.secondaries.size() == 1)
    throw std::runtime_error("Not enough secondary SDMs available");
  options.strict = host::flagParameter(contract::parameter::strict);
  return options;
}

// The events of "eventsfile", when it is set. The onsets only mark the design picture, so a file
// that cannot be read is warned about and the merge goes on without them.
std::optional<events::EventsTable> readOnsetEvents(const MergeOptions& options, TRMLLog& log) {
  if (options.eventsFile.empty()) return std::nullopt;
  try {
    const events::EventsColumns columns{
        std::string(contract::withoutBlanks(options.conditionColumn)), {}};
    return events::readEventsFile(options.eventsFile, columns);
  } catch (const std::exception& error) {
    logMessage(log,
               base::noticeText({base::NoticeKind::warning, options.eventsFile,
                                 std::string(error.what()) + ": no onsets in the design picture"}));
  }
  return std::nullopt;
}

// A file of a merge as loaded, with what the summary tells of it.
struct Loaded {
  sdm::DesignMatrix matrix;
  Sources sources;
};

// Loads `path`, with the notices and the displacement the load found.
Loaded loadFile(DesignLoader& loader, const std::string& path) {
  sdm::DesignMatrix matrix = loader.load(path);
  return {std::move(matrix), {loader.lastNotices(), loader.lastMeanFramewiseDisplacement()}};
}

// Loads `paths` in order. When their numbers of data points differ, says so in a message box
// and returns nothing.
std::optional<std::vector<Loaded>> loadAgreeing(DesignLoader& loader,
                                                const std::vector<std::string>& paths) {
  std::vector<Loaded> loaded;
  loaded.reserve(paths.size());
  for (const auto& path : paths) loaded.push_back(loadFile(loader, path));
  const sdm::DesignMatrix& first = loaded.front().matrix;
  for (const Loaded& file : loaded) {
    if (file.matrix.nrOfDataPoints != first.nrOfDataPoints) {
      host::messageBox(dataPointMismatch(file.matrix, first));
      return std::nullopt;
    }
  }
  return loaded;
}

// "mergeall": the primary merged with each secondary in turn. Each result is built when its turn
// comes, so only one is held at a time; every check that could reject the task has passed by
// then, so nothing the user sees depends on it.
void mergeEach(const Loaded& primary, const std::vector<Loaded>& secondaries,
               const MergeOptions& options, OutputGuard& guard, TRMLLog& log) {
  for (const Loaded& secondary : secondaries) {
    sdm::DesignMatrix result = merge::concatenate(primary.matrix, secondary.matrix);
    Sources sources = primary.sources;
    addSource(sources, secondary.sources);
    finishResult(result, options, guard, log, sources);
  }
}

// "mergesec": every secondary merged into one result.
void mergeInOne(const std::vector<Loaded>& secondaries, const MergeOptions& options,
                OutputGuard& guard, TRMLLog& log) {
  sdm::DesignMatrix result = secondaries.front().matrix;
  Sources sources = secondaries.front().sources;
  for (std::size_t i = 1; i < secondaries.size(); ++i) {
    merge::append(result, secondaries[i].matrix);
    addSource(sources, secondaries[i].sources);
  }
  finishResult(result, options, guard, log, sources);
}

}  // namespace

}  // namespace plugin

bool brindle::mergeTask(bool withPrimary) {
  plugin::logMessage(*logStream,
                     std::string("Start merging process of ") +
                         (withPrimary ? "primary with every secondary sdm" : "all secondary sdms"));
  plugin::MergeOptions options = plugin::readMergeOptions(withPrimary);
  options.events = plugin::readOnsetEvents(options, *logStream);
  plugin::DesignLoader loader(logStream.get(), options.strict, options.secondaries);

  const std::optional<std::vector<plugin::Loaded>> secondaries =
      plugin::loadAgreeing(loader, options.secondaries);
  if (!secondaries) return false;
  std::vector<std::string> inputs = options.secondaries;
  inputs.push_back(options.eventsFile);
  const std::string primaryPath =
      withPrimary ? host::stringParameter(contract::parameter::primary) : std::string();
  if (withPrimary) inputs.push_back(primaryPath);
  plugin::OutputGuard guard(std::move(inputs), logStream.get(), refused_);
  if (!withPrimary) {
    plugin::mergeInOne(*secondaries, options, guard, *logStream);
    return true;
  }
  const plugin::Loaded primary = plugin::loadFile(loader, primaryPath);
  const sdm::DesignMatrix& first = secondaries->front().matrix;
  if (primary.matrix.nrOfDataPoints != first.nrOfDataPoints) {
    host::messageBox(plugin::dataPointMismatch(primary.matrix, first));
    return false;
  }
  plugin::mergeEach(primary, *secondaries, options, guard, *logStream);
  return true;
}
